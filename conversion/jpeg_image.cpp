#include "conversion/jpeg_image.h"

#include <cstring>
#include <limits>
#include <string>

#include <QImage>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_codec.h"
#include "graphics/canvas.h"
#include "graphics/screen.h"

namespace qv {

namespace {

constexpr const char* kCannotResizeText = "Cannot change the size of a JPEG image";
// Colours of a quantized picture: 236, leaving room for the screen's own 20.
constexpr int kQuantizedColours = 236;

TPaletteHandle PaletteFromColormap(const jpeg_decompress_struct& d) {
  std::vector<QRgb> entries(static_cast<size_t>(d.actual_number_of_colors));
  const bool gray = d.out_color_components == 1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (gray) {
      const int level = d.colormap[0][i];
      entries[i] = qRgb(level, level, level);
    } else {
      // The decoder works in blue, green, red order.
      entries[i] = qRgb(d.colormap[2][i], d.colormap[1][i], d.colormap[0][i]);
    }
  }
  return MakePalette(std::move(entries));
}

// Turns a row of `components` samples per pixel into blue, green, red. Four
// components are CMYK (Adobe applications store them inverted); two are grey
// with alpha; other counts keep their first three samples.
void ConvertRow(const JSAMPLE* in, uint8_t* out, JDIMENSION width, int components, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, in += components, out += 3) {
    if (components == 4) {
      int c = in[0], m = in[1], y = in[2], k = in[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
      }
      out[0] = static_cast<uint8_t>((y * k + 127) / 255);
      out[1] = static_cast<uint8_t>((m * k + 127) / 255);
      out[2] = static_cast<uint8_t>((c * k + 127) / 255);
    } else if (components < 3) {
      out[0] = out[1] = out[2] = in[0];
    } else {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
}

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

TBitmap& TJPEGImage::DecodedBitmap() {
  if (bitmap_) return *bitmap_;
  bitmap_ = std::make_unique<TBitmap>();  // stays cached whatever the decode does
  Decode(*bitmap_);
  return *bitmap_;
}

void TJPEGImage::Decode(TBitmap& bitmap) {
  // A picture that never held bytes (new, or made from a bitmap without one) has nothing to decode.
  if (!data_->HasBytes()) return;

  // Decoder set-up; a failure here leaves the empty bitmap cached.
  jpeg::TDecoder decoder(data_->BytesData(), static_cast<size_t>(data_->BytesSize()), this);
  jpeg_decompress_struct& d = decoder.Info();
  decoder.Run([&] { jpeg_read_header(&d, TRUE); });
  d.scale_num = 1;
  d.scale_denom = 1u << (decode_scale_ & 3);
  d.do_block_smoothing = block_smoothing_ ? TRUE : FALSE;
  if (decode_priority_ == dpSpeed) d.dct_method = JDCT_IFAST;
  if (gray_output_) d.out_color_space = JCS_GRAYSCALE;
  // Three-sample pixels in the bitmap's own blue, green, red order.
  if (d.out_color_space == JCS_RGB) d.out_color_space = JCS_EXT_BGR;
  const bool eight = d.out_color_space == JCS_GRAYSCALE ||
                     (output_depth_ == od8Bit && d.out_color_space == JCS_EXT_BGR);
  if (eight) {
    d.quantize_colors = TRUE;
    d.desired_number_of_colors = kQuantizedColours;
  }

  auto notify_end = [&](int percent) {
    NotifyProgress(this, psEnding, percent, PaletteDirty(), TRect{}, std::string());
    if (PaletteDirty()) NotifyChanged(this);
  };

  try {
    bitmap.SetPixelFormat(eight ? pf8bit : pf24bit);
    NotifyProgress(this, psStarting, 0, false, TRect{}, std::string());
    try {
      bool palette_generation = true;
      if (screen_palette_) {
        if (output_depth_ == od8Bit && eight && d.out_color_space == JCS_EXT_BGR) {
          const TPalette& palette = *screen_palette_;
          const int n = static_cast<int>(std::min<size_t>(palette.Entries.size(), 256));
          decoder.Run([&] {
            d.colormap = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(std::max(n, 1)), 3);
          });
          for (int i = 0; i < n; ++i) {
            d.colormap[2][i] = static_cast<JSAMPLE>(qRed(palette.Entries[static_cast<size_t>(i)]));
            d.colormap[1][i] =
                static_cast<JSAMPLE>(qGreen(palette.Entries[static_cast<size_t>(i)]));
            d.colormap[0][i] = static_cast<JSAMPLE>(qBlue(palette.Entries[static_cast<size_t>(i)]));
          }
          d.actual_number_of_colors = n;
          bitmap.SetPalette(screen_palette_);
          palette_generation = false;
        } else if (output_depth_ == od24Bit) {
          screen_palette_.reset();
        }
      }

      // The bitmap's size is checked before the library or the bitmap allocates
      // anything for it: a few hundred bytes may declare 65500 x 65500 pixels.
      int64_t library_bytes = 0;
      decoder.Run([&] {
        jpeg_calc_output_dimensions(&d);
        library_bytes = jpeg::DecodeBufferBytes(d);
      });
      CheckPictureSize(d.output_width, d.output_height, eight ? 8 : 24);
      // libjpeg's whole-image buffers, allocated when the decode starts, must
      // fit beside the bitmap: what they may take is what the bitmap leaves.
      const int64_t bitmap_bytes = PictureBytes(d.output_width, d.output_height, eight ? 8 : 24);
      if (library_bytes > PictureBudget() - bitmap_bytes) RaiseOutOfMemory();
      d.mem->max_memory_to_use = jpeg::LibraryMemoryLimit(bitmap_bytes);
      decoder.Run([&] { jpeg_start_decompress(&d); });
      bitmap.SetSize(static_cast<int32_t>(d.output_width), static_cast<int32_t>(d.output_height));
      if (d.colormap != nullptr && palette_generation) {
        bitmap.SetPalette(PaletteFromColormap(d));
        SetPaletteDirty(true);
      }

      const int components = d.output_components;
      const bool convert = !eight && components != 3;
      const bool inverted = d.saw_Adobe_marker != 0;
      JSAMPARRAY temp = nullptr;
      decoder.Run([&] {
        if (convert) {
          temp = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                        d.output_width * static_cast<JDIMENSION>(components), 1);
        }
        while (d.output_scanline < d.output_height) {
          const JDIMENSION y = d.output_scanline;
          JSAMPROW row = convert ? temp[0] : bitmap.ScanLine(static_cast<int32_t>(y));
          if (jpeg_read_scanlines(&d, &row, 1) != 1) break;
          if (convert) {
            ConvertRow(temp[0], bitmap.ScanLine(static_cast<int32_t>(y)), d.output_width,
                       components, inverted);
          }
        }
        jpeg_finish_decompress(&d);
      });
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
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    auto copy = std::make_unique<TBitmap>();
    copy->AssignFrom(bitmap);
    NewData();
    bitmap_ = std::move(copy);
    return;
  }
  TGraphic::AssignFrom(source);
}

void TJPEGImage::DrawInto(TCanvas& canvas, const TRect& rect) {
  canvas.StretchDraw(rect, DecodedBitmap());
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
