#include "graphics/dib_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "base/exceptions.h"

namespace qv {

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(U32(p));
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// How a parser reports: bytes missing are a read error for a file and a
// refusal for data inside an icon.
struct TFailures {
  const char* invalid_text;
  bool short_is_read_error;
  [[noreturn]] void Invalid() const { throw EInvalidGraphic(invalid_text); }
  [[noreturn]] void Short() const {
    if (short_is_read_error) throw EReadError(kStreamReadErrorText);
    Invalid();
  }
};

// The info header of a DIB, checked; sizes are 64-bit so no product overflows.
struct TDibInfo {
  int64_t header_size = 0;
  int64_t width = 0;
  int64_t height = 0;  // rows, always positive
  bool top_down = false;
  int bit_count = 0;
  uint32_t compression = kRgb;
  int64_t colours = 0;     // palette entries present after the header and masks
  int64_t entry_size = 4;  // 3 for the old core header
  int64_t mask_bytes = 0;  // colour masks after a 40-byte header
  int64_t height_offset = 0;

  int64_t TableEnd() const { return header_size + mask_bytes + colours * entry_size; }
  int64_t Stride() const { return (width * bit_count + 31) / 32 * 4; }
};

TDibInfo ParseInfoHeader(const uint8_t* p, int64_t size, const TFailures& fail) {
  if (size < 4) fail.Short();
  TDibInfo info;
  info.header_size = U32(p);
  switch (info.header_size) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      break;
    default:
      fail.Invalid();
  }
  if (size < info.header_size) fail.Short();
  int64_t planes = 0;
  int64_t signed_height = 0;
  int64_t colours_used = 0;
  if (info.header_size == 12) {
    info.width = U16(p + 4);
    signed_height = U16(p + 6);
    info.height_offset = 6;
    planes = U16(p + 8);
    info.bit_count = U16(p + 10);
    info.entry_size = 3;
  } else {
    info.width = I32(p + 4);
    signed_height = I32(p + 8);
    info.height_offset = 8;
    planes = U16(p + 12);
    info.bit_count = U16(p + 14);
    info.compression = U32(p + 16);
    colours_used = U32(p + 32);
  }
  if (info.width <= 0 || signed_height == 0 || planes != 1) fail.Invalid();
  info.top_down = signed_height < 0;
  info.height = signed_height < 0 ? -signed_height : signed_height;
  switch (info.bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      fail.Invalid();
  }
  switch (info.compression) {
    case kRgb:
      break;
    case kRle8:
      if (info.bit_count != 8 || info.top_down) fail.Invalid();
      break;
    case kRle4:
      if (info.bit_count != 4 || info.top_down) fail.Invalid();
      break;
    case kBitFields:
    case kAlphaBitFields:
      // Compression 3 means something else in the 64-byte OS/2 header.
      if ((info.bit_count != 16 && info.bit_count != 32) || info.header_size == 64) fail.Invalid();
      break;
    default:
      fail.Invalid();  // embedded JPEG/PNG and the OS/2 codings are not for screens
  }
  if (info.header_size == 40 && info.compression == kBitFields) info.mask_bytes = 12;
  if (info.header_size == 40 && info.compression == kAlphaBitFields) info.mask_bytes = 16;
  if (info.bit_count <= 8) {
    info.colours = colours_used != 0 ? colours_used : int64_t{1} << info.bit_count;
  } else {
    info.colours = colours_used;
  }
  return info;
}

// Qt's own cap (128 MB) sits below our budget, which is checked before Qt
// reads: it follows the budget, in whole MiB with a margin.
void RaiseQtAllocationLimit() {
  const int64_t megabytes = std::min<int64_t>((PictureBudget() >> 20) + 64, INT32_MAX);
  if (QImageReader::allocationLimit() != megabytes)
    QImageReader::setAllocationLimit(static_cast<int>(megabytes));
}

QImage DecodeWithQt(QByteArray bytes, const char* format) {
  RaiseQtAllocationLimit();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoTransform(false);
  return reader.read();
}

}  // namespace

QImage ReadBmpFile(const uint8_t* data, int64_t size, const char* invalid_text) {
  const TFailures fail{invalid_text, true};
  if (size < 14) fail.Short();
  if (data[0] != 'B' || data[1] != 'M') fail.Invalid();
  const int64_t pixels_at_field = U32(data + 10);
  const TDibInfo info = ParseInfoHeader(data + 14, size - 14, fail);
  const int64_t table_end = 14 + info.TableEnd();
  if (table_end > size) fail.Short();
  const int64_t pixels_at = pixels_at_field != 0 ? pixels_at_field : table_end;
  if (pixels_at < 14 + info.header_size) fail.Invalid();
  if (pixels_at >= size) fail.Short();
  // Rows times stride may not fit in 64 bits; compare by division.
  if (info.compression != kRle4 && info.compression != kRle8 &&
      info.Stride() > (size - pixels_at) / info.height) {
    fail.Short();
  }
  CheckPictureSize(info.width, info.height, 32);
  const QImage image = DecodeWithQt(
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
      "bmp");
  if (image.isNull() || image.width() != info.width || image.height() != info.height) {
    fail.Invalid();
  }
  return image;
}

QImage ReadIconImage(const uint8_t* data, int64_t size, const char* invalid_text) {
  static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const TFailures fail{invalid_text, false};
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) {
    int status = 0;
    const QImage image = ReadPngBytes(data, size, status);
    if (image.isNull()) fail.Invalid();
    return image.convertToFormat(QImage::Format_ARGB32);
  }
  const TDibInfo info = ParseInfoHeader(data, size, fail);
  // The height covers the colour rows and the mask rows.
  const int64_t rows = info.height / 2;
  if (rows == 0 || (info.compression != kRgb && info.compression != kBitFields)) fail.Invalid();
  const int64_t table_end = info.TableEnd();
  if (table_end > size || info.Stride() > (size - table_end) / rows) fail.Invalid();
  const int64_t colour_bytes = info.Stride() * rows;
  CheckPictureSize(info.width, rows, 32);

  // A BMP file of the colour part, for Qt's reader: file header, the info
  // header with the real height, colours and rows.
  const int64_t dib_bytes = table_end + colour_bytes;
  QByteArray bmp(static_cast<qsizetype>(14 + dib_bytes), Qt::Uninitialized);
  auto* out = reinterpret_cast<uint8_t*>(bmp.data());
  out[0] = 'B';
  out[1] = 'M';
  PutU32(out + 2, static_cast<uint32_t>(bmp.size()));
  PutU32(out + 6, 0);
  PutU32(out + 10, static_cast<uint32_t>(14 + table_end));
  std::memcpy(out + 14, data, static_cast<size_t>(dib_bytes));
  const int64_t signed_rows = info.top_down ? -rows : rows;
  if (info.header_size == 12) {
    out[14 + 6] = static_cast<uint8_t>(rows);
    out[14 + 7] = static_cast<uint8_t>(rows >> 8);
  } else {
    PutU32(out + 14 + info.height_offset, static_cast<uint32_t>(static_cast<int32_t>(signed_rows)));
  }
  QImage image = DecodeWithQt(bmp, "bmp");
  if (image.isNull() || image.width() != info.width || image.height() != rows) fail.Invalid();
  image = image.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) RaiseOutOfMemory();

  const auto source_row = [&](int64_t y) { return info.top_down ? y : rows - 1 - y; };
  bool has_alpha = false;
  if (info.bit_count == 32 && info.compression == kRgb) {
    // Qt reads these as opaque; icons keep their alpha in the fourth byte.
    for (int64_t y = 0; y < rows && !has_alpha; ++y) {
      const uint8_t* row = data + table_end + source_row(y) * info.Stride();
      for (int64_t x = 0; x < info.width; ++x) {
        if (row[4 * x + 3] != 0) {
          has_alpha = true;
          break;
        }
      }
    }
    if (has_alpha) {
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* row = data + table_end + source_row(y) * info.Stride();
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < info.width; ++x) {
          line[x] = (line[x] & 0x00FFFFFFu) | (static_cast<QRgb>(row[4 * x + 3]) << 24);
        }
      }
    }
  }
  // The AND mask marks the transparent pixels; a file that cuts it short shows opaque.
  const int64_t mask_stride = (info.width + 31) / 32 * 4;
  const int64_t mask_at = table_end + colour_bytes;
  if (!has_alpha && mask_stride <= (size - mask_at) / rows) {
    for (int64_t y = 0; y < rows; ++y) {
      const uint8_t* row = data + mask_at + source_row(y) * mask_stride;
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
      for (int64_t x = 0; x < info.width; ++x) {
        if (row[x >> 3] & (0x80 >> (x & 7))) line[x] = 0;
      }
    }
  }
  return image;
}

namespace {

// The bytes of a PNG up to the first chunk, IDAT aside, whose stated length
// runs past the end. libpng allocates such a chunk whole before reading it, so
// 70 bytes could ask for 4 GB; cut there, the file fails as a cut file does.
// (Image data is read piece by piece and may be cut short as before.)
int64_t PngBytesToRead(const uint8_t* data, int64_t size) {
  int64_t at = 8;  // after the signature
  while (at + 8 <= size) {
    const int64_t length =
        (int64_t{data[at]} << 24) | (data[at + 1] << 16) | (data[at + 2] << 8) | data[at + 3];
    const bool image_data = std::memcmp(data + at + 4, "IDAT", 4) == 0;
    if (length > size - at - 12) return image_data ? size : at;
    at += 12 + length;
  }
  return size;
}

}  // namespace

QImage ReadPngBytes(const uint8_t* data, int64_t size, int& status) {
  status = 0;
  size = PngBytesToRead(data, size);
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  RaiseQtAllocationLimit();
  QImageReader reader(&buffer, "png");
  const QSize announced = reader.size();
  if (announced.isValid()) CheckPictureSize(announced.width(), announced.height(), 32);
  QImage image = reader.read();
  if (image.isNull()) status = static_cast<int>(reader.error());
  return image;
}

}  // namespace qv
