#include "graphics/bitmap.h"

#include <cstdlib>
#include <cstring>

#include "base/exceptions.h"
#include "base/streams.h"
#include "graphics/canvas.h"
#include "graphics/dib_reader.h"
#include "graphics/file_bytes_graphic.h"

namespace qv {

namespace {

constexpr const char* kBitmapInvalidText = "Bitmap image is not valid";

QImage::Format QtFormat(TPixelFormat format) {
  switch (format) {
    case pf8bit:
      return QImage::Format_Indexed8;
    case pf32bit:
      return QImage::Format_ARGB32;  // B, G, R, A in memory on little-endian machines
    case pf24bit:
      break;
  }
  return QImage::Format_BGR888;
}

int BitsPerPixel(TPixelFormat format) {
  return format == pf8bit ? 8 : format == pf24bit ? 24 : 32;
}

// Zero-filled pixels from calloc, which gets fresh zero pages for big blocks
// instead of clearing them.
QImage MakeZeroImage(int32_t width, int32_t height, TPixelFormat format) {
  const int64_t bytes = TBitmap::ByteSize(width, height, format);
  void* block = std::calloc(static_cast<size_t>(bytes), 1);
  if (block == nullptr) RaiseOutOfMemory();
  const qsizetype stride = static_cast<qsizetype>(bytes / height);
  QImage image(static_cast<uchar*>(block), width, height, stride, QtFormat(format), std::free,
               block);
  if (image.isNull()) {
    std::free(block);
    RaiseOutOfMemory();
  }
  return image;
}

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}
uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

int64_t TBitmap::ByteSize(int64_t width, int64_t height, TPixelFormat format) {
  return PictureBytes(width, height, BitsPerPixel(format));
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  QImage image;
  if (!IsEmpty()) image = MakeZeroImage(width_, height_, format);
  format_ = format;
  image_ = std::move(image);
  ApplyPaletteToImage();
  NotifyChanged(this);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width < 0 || height < 0) RaiseOutOfMemory();
  if (width == width_ && height == height_) return;
  CheckPictureSize(width, height, BitsPerPixel(format_));
  QImage image;
  if (width > 0 && height > 0) image = MakeZeroImage(width, height, format_);
  image_ = std::move(image);
  width_ = width;
  height_ = height;
  ApplyPaletteToImage();
  NotifyChanged(this);
}

uint8_t* TBitmap::ScanLine(int32_t row) {
  return image_.scanLine(row);
}

const uint8_t* TBitmap::ScanLine(int32_t row) const {
  return image_.constScanLine(row);
}

void TBitmap::SetPalette(TPaletteHandle palette) {
  if (palette == palette_) return;
  palette_ = std::move(palette);
  ApplyPaletteToImage();
  NotifyChanged(this);
}

void TBitmap::ApplyPaletteToImage() {
  if (format_ != pf8bit || image_.isNull()) return;
  // Every index gets a colour, so stray indices draw black rather than undefined.
  QList<QRgb> table(256, qRgb(0, 0, 0));
  if (palette_) {
    const size_t n = std::min<size_t>(palette_->Entries.size(), 256);
    for (size_t i = 0; i < n; ++i)
      table[static_cast<qsizetype>(i)] = palette_->Entries[i] | 0xFF000000u;
  }
  image_.setColorTable(table);
}

void TBitmap::AssignImage(const QImage& source) {
  if (source.isNull()) {
    image_ = QImage();
    width_ = height_ = 0;
    palette_.reset();
    NotifyChanged(this);
    return;
  }
  TPixelFormat format = pf24bit;
  if (source.format() == QImage::Format_Indexed8) {
    format = pf8bit;
  } else if (source.hasAlphaChannel()) {
    format = pf32bit;
  }
  CheckPictureSize(source.width(), source.height(), BitsPerPixel(format));
  QImage image = source.convertToFormat(QtFormat(format));
  if (image.isNull()) RaiseOutOfMemory();
  TPaletteHandle palette;
  if (format == pf8bit) {
    const QList<QRgb> table = image.colorTable();
    palette = MakePalette(std::vector<QRgb>(table.begin(), table.end()));
  }
  image_ = std::move(image);
  format_ = format;
  width_ = image_.width();
  height_ = image_.height();
  palette_ = std::move(palette);
  ApplyPaletteToImage();
  NotifyChanged(this);
}

void TBitmap::AssignInto(TPersistent& target) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&target)) {
    bitmap->AssignFrom(this);
    return;
  }
  TGraphic::AssignInto(target);
}

void TBitmap::AssignFrom(TPersistent* source) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    if (bitmap == this) return;
    image_ = bitmap->image_;
    format_ = bitmap->format_;
    width_ = bitmap->width_;
    height_ = bitmap->height_;
    palette_ = bitmap->palette_;
    NotifyChanged(this);
    return;
  }
  TGraphic::AssignFrom(source);
}

void TBitmap::DrawInto(TCanvas& canvas, const TRect& rect) {
  canvas.StretchDraw(rect, *this);
}

void TBitmap::ReadFromStream(TStream& stream) {
  if (stream.Size() - stream.Position() <= 0) {
    AssignImage(QImage());
    return;
  }
  const QByteArray bytes = ReadPictureFile(stream);
  AssignImage(ReadBmpFile(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(),
                          kBitmapInvalidText));
}

TClipboardData TBitmap::ToDIB() const {
  if (IsEmpty()) return {};
  const int bits = BitsPerPixel(format_);
  const uint32_t colours = format_ == pf8bit ? 256 : 0;
  const int64_t stride = ByteSize(width_, 1, format_);
  const int64_t pixels = stride * height_;
  TClipboardData dib(static_cast<size_t>(40 + colours * 4 + pixels), 0);
  uint8_t* p = dib.data();
  PutU32(p, 40);
  PutU32(p + 4, static_cast<uint32_t>(width_));
  PutU32(p + 8, static_cast<uint32_t>(height_));  // positive: rows bottom-up
  PutU16(p + 12, 1);
  PutU16(p + 14, static_cast<uint16_t>(bits));
  PutU32(p + 20, static_cast<uint32_t>(pixels));
  PutU32(p + 32, colours);
  uint8_t* q = p + 40;
  if (colours != 0) {
    const QList<QRgb> table = image_.colorTable();
    for (uint32_t i = 0; i < colours; ++i, q += 4) {
      const QRgb c = i < static_cast<uint32_t>(table.size()) ? table[i] : 0;
      q[0] = static_cast<uint8_t>(qBlue(c));
      q[1] = static_cast<uint8_t>(qGreen(c));
      q[2] = static_cast<uint8_t>(qRed(c));
    }
  }
  const int64_t row_bytes = std::min<int64_t>(stride, image_.bytesPerLine());
  for (int32_t y = 0; y < height_; ++y) {
    std::memcpy(q + stride * (height_ - 1 - y), image_.constScanLine(y),
                static_cast<size_t>(row_bytes));
  }
  return dib;
}

void TBitmap::WriteToStream(TStream& stream) {
  const TClipboardData dib = ToDIB();
  if (dib.empty()) return;
  uint8_t header[14] = {'B', 'M'};
  PutU32(header + 2, static_cast<uint32_t>(14 + dib.size()));
  PutU32(header + 10, 14 + 40 + (format_ == pf8bit ? 256 * 4 : 0));
  stream.WriteBuffer(header, sizeof header);
  stream.WriteBuffer(dib.data(), static_cast<int64_t>(dib.size()));
}

void TBitmap::ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                                TPaletteHandle) {
  if (format != kClipboardDIB || data.size() < 16) throw EInvalidGraphic(kBitmapInvalidText);
  // A DIB is a BMP file without its 14-byte file header; put one in front.
  const uint32_t header_size = GetU32(data.data());
  const uint16_t bits = GetU16(data.data() + 14);
  uint32_t colours = data.size() >= 36 && header_size >= 40 ? GetU32(data.data() + 32) : 0;
  if (colours == 0 && bits <= 8) colours = 1u << bits;
  const uint32_t entry = header_size == 12 ? 3 : 4;
  uint32_t masks = 0;
  if (header_size == 40 && data.size() >= 20 && GetU32(data.data() + 16) == 3) masks = 12;
  const uint64_t offset = 14ull + header_size + masks + uint64_t{colours} * entry;
  QByteArray bytes(static_cast<qsizetype>(14 + data.size()), 0);
  auto* p = reinterpret_cast<uint8_t*>(bytes.data());
  p[0] = 'B';
  p[1] = 'M';
  PutU32(p + 2, static_cast<uint32_t>(bytes.size()));
  PutU32(p + 10, static_cast<uint32_t>(std::min<uint64_t>(offset, UINT32_MAX)));
  std::memcpy(p + 14, data.data(), data.size());
  QImage image;
  if (!image.loadFromData(bytes, "BMP")) throw EInvalidGraphic(kBitmapInvalidText);
  AssignImage(image);
}

void TBitmap::WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                               TPaletteHandle& palette) {
  format = kClipboardDIB;
  data = ToDIB();
  palette = palette_;
}

}  // namespace qv
