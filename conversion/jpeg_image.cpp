#include "conversion/jpeg_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <QImage>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_display_scale.h"
#include "graphics/canvas.h"
#include "graphics/screen.h"

namespace qv {

namespace {

constexpr const char* kCannotResizeText = "Cannot change the size of a JPEG image";

}  // namespace

TJPEGImage::TJPEGImage()
    : data_(new TJPEGData()),
      block_smoothing_(DefaultJPEGSettings.BlockSmoothing),
      gray_output_(DefaultJPEGSettings.GrayOutput),
      output_depth_(DefaultJPEGSettings.OutputDepth),
      save_quality_(DefaultJPEGSettings.SaveQuality),
      scan_display_(DefaultJPEGSettings.ScanDisplay),
      progressive_(DefaultJPEGSettings.Progressive),
      decode_priority_(DefaultJPEGSettings.DecodePriority),
      decode_scale_(DefaultJPEGSettings.DecodeScale) {}

TJPEGImage::~TJPEGImage() {
  bitmap_.reset();
  data_->DropShare();
}

void TJPEGImage::NewData() {
  TJPEGData* fresh = new TJPEGData();
  data_->DropShare();
  data_ = fresh;
}

// --- loading -------------------------------------------------------------------

void TJPEGImage::ReadBytes(TStream& stream, int64_t count) {
  if (count < 0) throw EReadError(kStreamReadErrorText);
  NewData();
  bitmap_.reset();
  DropDisplayBitmap();
  auto bytes = std::make_unique<TMemoryStream>();
  bytes->SetSize(count);
  if (count > 0) stream.ReadBuffer(bytes->Memory(), count);
  // Attached only once filled: a short stream leaves no half-read block behind.
  data_->bytes_ = std::move(bytes);
  data_->bytes_size_ = count;
  if (count > 0) {
    const jpeg::THeaderFacts facts =
        jpeg::ReadHeader(data_->BytesData(), static_cast<size_t>(count));
    data_->width_ = facts.Width;
    data_->height_ = facts.Height;
    progressive_ = facts.Progressive;
  }
  SetPaletteDirty(true);
  NotifyChanged(this);
}

void TJPEGImage::ReadFromStream(TStream& stream) {
  ReadBytes(stream, stream.Size() - stream.Position());
}

void TJPEGImage::ReadFormData(TStream& stream) {
  uint8_t count[4];
  stream.ReadBuffer(count, sizeof count);
  const int32_t n = static_cast<int32_t>(count[0] | (count[1] << 8) | (count[2] << 16) |
                                         (static_cast<uint32_t>(count[3]) << 24));
  ReadBytes(stream, n);
}

// --- writing -------------------------------------------------------------------

void TJPEGImage::EnsureEncoded() {
  if (!data_->HasBytes()) EncodeBitmap();
}

void TJPEGImage::EncodeBitmap() {
  auto bytes = std::make_unique<TMemoryStream>();
  int32_t width = 0;
  int32_t height = 0;
  if (bitmap_ && !bitmap_->IsEmpty()) {
    const QImage bgr = bitmap_->Image().convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) RaiseOutOfMemory();
    width = bgr.width();
    height = bgr.height();
    jpeg::EncodeBGR(bgr.constBits(), bgr.bytesPerLine(), width, height, save_quality_, this,
                    *bytes);
  }
  // Fresh data: a data object without bytes may be shared with another picture,
  // which must not see bytes made from this picture's bitmap.
  NewData();
  data_->bytes_size_ = bytes->Size();
  data_->bytes_ = std::move(bytes);
  data_->width_ = width;
  data_->height_ = height;
}

void TJPEGImage::WriteToStream(TStream& stream) {
  EnsureEncoded();
  if (data_->BytesSize() > 0) stream.WriteBuffer(data_->BytesData(), data_->BytesSize());
}

void TJPEGImage::WriteFormData(TStream& stream) {
  const int64_t size = data_->BytesSize();
  if (size > std::numeric_limits<int32_t>::max()) RaiseOutOfMemory();
  const uint32_t n = static_cast<uint32_t>(size);
  const uint8_t count[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                            static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
  stream.WriteBuffer(count, sizeof count);
  if (size > 0) stream.WriteBuffer(data_->BytesData(), size);
}

// --- decoding ------------------------------------------------------------------

jpeg::TDecodeSettings TJPEGImage::DecodeSettings(int eighths) const {
  jpeg::TDecodeSettings settings;
  settings.ScaleShift = decode_scale_ & 3;
  settings.BlockSmoothing = block_smoothing_;
  settings.FastDct = decode_priority_ == dpSpeed;
  settings.Gray = gray_output_;
  settings.EightBit = output_depth_ == od8Bit;
  settings.Eighths = eighths;
  return settings;
}

TBitmap& TJPEGImage::DecodedBitmap() {
  if (bitmap_) return *bitmap_;
  // The full bitmap serves every box from now on.
  DropDisplayBitmap();
  bitmap_ = std::make_unique<TBitmap>();  // stays cached whatever the decode does
  Decode(*bitmap_, 8);
  return *bitmap_;
}

TBitmap& TJPEGImage::DisplayBitmap(int32_t box_width, int32_t box_height) {
  // Only a picture with bytes decodes at all; a scale of its own (never set
  // here) keeps the whole of it.
  if (bitmap_ || !data_->HasBytes() || decode_scale_ != 0) return DecodedBitmap();
  // A picture whose data failed shows what it left, in any box, and raises no more.
  if (display_failed_) return *display_;
  const int eighths = jpeg::DisplayEighths(data_->Width(), data_->Height(), box_width, box_height);
  if (eighths >= 8) return DecodedBitmap();
  if (display_ && display_eighths_ == eighths) return *display_;
  display_ = std::make_unique<TBitmap>();
  display_eighths_ = eighths;
  try {
    Decode(*display_, eighths);
  } catch (...) {
    if (display_->IsEmpty()) {
      // Failed before any pixel: the same state as a failed full decode, an
      // empty bitmap cache, which also answers Width and Height from now on.
      bitmap_ = std::move(display_);
    } else {
      display_failed_ = true;
    }
    throw;
  }
  return *display_;
}

void TJPEGImage::DropDisplayBitmap() {
  display_.reset();
  display_eighths_ = 8;
  display_failed_ = false;
}

void TJPEGImage::Decode(TBitmap& bitmap, int eighths) {
  // A picture that never held bytes (new, or made from a bitmap without one) has nothing to decode.
  if (!data_->HasBytes()) return;

  // Decoder set-up; a failure here leaves the empty bitmap cached.
  jpeg::TBitmapDecoder decoder(data_->BytesData(), static_cast<size_t>(data_->BytesSize()), this,
                               DecodeSettings(eighths));

  auto notify_end = [&](int percent) {
    NotifyProgress(this, psEnding, percent, PaletteDirty(), TRect{}, std::string());
    if (PaletteDirty()) NotifyChanged(this);
  };

  try {
    bitmap.SetPixelFormat(decoder.EightBit() ? pf8bit : pf24bit);
    NotifyProgress(this, psStarting, 0, false, TRect{}, std::string());
    try {
      if (screen_palette_) {
        if (output_depth_ == od8Bit && decoder.PaletteColour()) {
          decoder.UseFixedPalette(*screen_palette_);
          bitmap.SetPalette(screen_palette_);
        } else if (output_depth_ == od24Bit) {
          screen_palette_.reset();
        }
      }
      decoder.DecodeInto(bitmap, [this] { SetPaletteDirty(true); });
    } catch (...) {
      notify_end(0);
      throw;
    }
    notify_end(100);
  } catch (const EAbort&) {
    // A progress handler cancelled the decode: the bitmap stays as far as it got.
  }
}

// --- the picture contract ------------------------------------------------------

void TJPEGImage::AssignInto(TPersistent& target) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&target)) {
    bitmap->AssignFrom(&DecodedBitmap());
    return;
  }
  TGraphic::AssignInto(target);
}

void TJPEGImage::AssignFrom(TPersistent* source) {
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(source)) {
    if (jpeg == this) return;
    std::unique_ptr<TBitmap> copy;
    if (jpeg->bitmap_) {
      copy = std::make_unique<TBitmap>();
      copy->AssignFrom(jpeg->bitmap_.get());
    }
    jpeg->data_->AddShare();
    data_->DropShare();
    data_ = jpeg->data_;
    // Without a source bitmap an old one would show another picture: it goes.
    bitmap_ = std::move(copy);
    DropDisplayBitmap();
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    auto copy = std::make_unique<TBitmap>();
    copy->AssignFrom(bitmap);
    NewData();
    bitmap_ = std::move(copy);
    DropDisplayBitmap();
    return;
  }
  TGraphic::AssignFrom(source);
}

void TJPEGImage::DrawInto(TCanvas& canvas, const TRect& rect) {
  // The box in device pixels: on a screen of several device pixels a point,
  // the picture has more of them to fill.
  const double ratio = canvas.DevicePixelRatio();
  const auto device = [ratio](int32_t side) {
    return static_cast<int32_t>(std::ceil(std::max(side, 0) * ratio));
  };
  canvas.StretchDraw(rect, DisplayBitmap(device(rect.Width()), device(rect.Height())));
}

bool TJPEGImage::SameAs(TGraphic* other) {
  auto* jpeg = dynamic_cast<TJPEGImage*>(other);
  if (jpeg == nullptr) return false;
  const TJPEGData& a = *data_;
  const TJPEGData& b = *jpeg->data_;
  if (a.HasBytes() && b.HasBytes()) {
    return a.BytesSize() == b.BytesSize() &&
           (a.BytesSize() == 0 ||
            std::memcmp(a.BytesData(), b.BytesData(), static_cast<size_t>(a.BytesSize())) == 0);
  }
  return &a == &b;
}

bool TJPEGImage::IsEmpty() const {
  if (data_->HasBytes()) return false;
  return !bitmap_ || bitmap_->IsEmpty();
}

int32_t TJPEGImage::Height() const {
  return bitmap_ ? bitmap_->Height() : data_->Height();
}

int32_t TJPEGImage::Width() const {
  return bitmap_ ? bitmap_->Width() : data_->Width();
}

TPaletteHandle TJPEGImage::PaletteHandle() {
  if (bitmap_) return bitmap_->Palette();
  if (screen_palette_) return screen_palette_;
  if (output_depth_ == od24Bit && ScreenBitsPerPixel() <= 8) {
    screen_palette_ = MakeHalftonePalette();
    return screen_palette_;
  }
  return nullptr;
}

void TJPEGImage::SetPaletteHandle(TPaletteHandle palette) {
  if (palette == screen_palette_) return;
  screen_palette_ = std::move(palette);
  if (bitmap_ && bitmap_->Palette() != screen_palette_) bitmap_.reset();
  if (display_ && display_->Palette() != screen_palette_) DropDisplayBitmap();
}

void TJPEGImage::SetHeight(int32_t) {
  throw EInvalidGraphicOperation(kCannotResizeText);
}

void TJPEGImage::SetWidth(int32_t) {
  throw EInvalidGraphicOperation(kCannotResizeText);
}

void TJPEGImage::ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                                   TPaletteHandle palette) {
  if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
  bitmap_->ReadFromClipboard(format, data, std::move(palette));
}

void TJPEGImage::WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                                  TPaletteHandle& palette) {
  DecodedBitmap().WriteToClipboard(format, data, palette);
}

}  // namespace qv
