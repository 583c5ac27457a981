#include "graphics/metafile/metafile.h"

#include <cmath>
#include <cstring>

#include "base/exceptions.h"
#include "graphics/canvas.h"
#include "graphics/dib_reader.h"
#include "graphics/metafile/playback.h"
#include "graphics/metafile/records.h"

namespace qv {

namespace {

constexpr const char* kMetafileInvalidText = "Metafile is not valid";
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr int64_t kPlaceableHeaderSize = 22;
constexpr int64_t kEnhancedHeaderMinimum = 88;
constexpr uint32_t kEmrHeader = static_cast<uint32_t>(metafile::EmfRecord::Header);
constexpr uint32_t kEmrEof = static_cast<uint32_t>(metafile::EmfRecord::Eof);

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int16_t I16(const uint8_t* p) {
  return static_cast<int16_t>(U16(p));
}
uint32_t U32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(U32(p));
}

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(kMetafileInvalidText);
}

bool LooksEnhanced(const uint8_t* p, int64_t size) {
  return size > 100 && U32(p) == kEmrHeader && std::memcmp(p + 40, " EMF", 4) == 0;
}

int32_t ToPixels(double extent, double units_per_inch) {
  const double pixels = std::round(std::abs(extent) * 96.0 / units_per_inch);
  return pixels > INT32_MAX ? INT32_MAX : static_cast<int32_t>(pixels);
}

// Checks an enhanced metafile of `size` bytes and returns the bytes its header
// claims; the records must chain up to an end record inside them.
int64_t CheckEnhanced(const uint8_t* p, int64_t size, int32_t& width, int32_t& height) {
  const int64_t header_size = U32(p + 4);
  const int64_t total = U32(p + 48);
  if (total > size) throw EReadError(kStreamReadErrorText);
  if (header_size < kEnhancedHeaderMinimum || header_size % 4 != 0 || header_size > total)
    Invalid();
  const int64_t description_chars = U32(p + 60);
  const int64_t description_at = U32(p + 64);
  if (description_chars != 0 &&
      (description_at < kEnhancedHeaderMinimum || description_at > header_size ||
       description_chars * 2 > header_size - description_at)) {
    Invalid();
  }
  // Every record takes at least 8 bytes and every object slot but the
  // metafile's own needs a record that makes it: counts the size cannot hold are lies.
  const int64_t records = U32(p + 52);
  const int64_t handles = U16(p + 56);
  if (records > total / 8 || handles > records) Invalid();
  bool ended = false;
  for (int64_t at = 0; at + 8 <= total;) {
    const int64_t length = U32(p + at + 4);
    if (length < 8 || length % 4 != 0 || length > total - at) Invalid();
    if (U32(p + at) == kEmrEof) {
      ended = true;
      break;
    }
    at += length;
  }
  if (!ended) Invalid();
  // The frame is in 0.01 mm; without one the bounds (device pixels, inclusive) serve.
  const double frame_w = static_cast<double>(I32(p + 32)) - I32(p + 24);
  const double frame_h = static_cast<double>(I32(p + 36)) - I32(p + 28);
  if (frame_w > 0 && frame_h > 0) {
    width = ToPixels(frame_w, 2540);
    height = ToPixels(frame_h, 2540);
  } else {
    width = ToPixels(static_cast<double>(I32(p + 16)) - I32(p + 8) + 1, 96);
    height = ToPixels(static_cast<double>(I32(p + 20)) - I32(p + 12) + 1, 96);
  }
  return total;
}

// Checks a placeable Windows metafile: header key and checksum, the metafile
// header after it, and records that chain up to the end record or the end.
void CheckPlaceable(const uint8_t* p, int64_t size, int32_t& width, int32_t& height) {
  if (size < kPlaceableHeaderSize || U32(p) != kPlaceableKey) Invalid();
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= U16(p + 2 * i);
  if (checksum != U16(p + 20)) Invalid();
  const int64_t units_per_inch = U16(p + 14);
  if (units_per_inch == 0) Invalid();
  const uint8_t* body = p + kPlaceableHeaderSize;
  const int64_t body_size = size - kPlaceableHeaderSize;
  if (body_size < 18) Invalid();
  const int64_t type = U16(body);
  const int64_t header_words = U16(body + 2);
  if ((type != 1 && type != 2) || header_words != 9) Invalid();
  // Each object needs a record of at least 6 bytes that makes it.
  if (int64_t{U16(body + 10)} * 6 > body_size) Invalid();
  bool ended = false;
  int64_t at = 18;
  while (at + 6 <= body_size) {
    const int64_t length = int64_t{U32(body + at)} * 2;
    if (length < 6 || length > body_size - at) Invalid();
    if (U16(body + at + 4) == 0) {
      ended = true;
      break;
    }
    at += length;
  }
  if (!ended && at != body_size) Invalid();
  width =
      ToPixels(static_cast<double>(I16(p + 10)) - I16(p + 6), static_cast<double>(units_per_inch));
  height =
      ToPixels(static_cast<double>(I16(p + 12)) - I16(p + 8), static_cast<double>(units_per_inch));
}

}  // namespace

void TMetafile::AssignFrom(TPersistent* source) {
  if (auto* metafile = dynamic_cast<TMetafile*>(source)) {
    if (metafile == this) return;
    bytes_ = metafile->bytes_;
    enhanced_ = metafile->enhanced_;
    width_ = metafile->width_;
    height_ = metafile->height_;
    NotifyChanged(this);
    return;
  }
  TGraphic::AssignFrom(source);
}

void TMetafile::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (IsEmpty()) return;
  const QRectF target(rect.Left, rect.Top, static_cast<double>(rect.Width()) - 1,
                      static_cast<double>(rect.Height()) - 1);
  if (target.width() <= 0 || target.height() <= 0) return;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes_.constData());
  if (enhanced_) {
    PlayEnhancedMetafile(canvas.Painter(), p, bytes_.size(), target);
    return;
  }
  const QRectF bounds(QPointF(I16(p + 6), I16(p + 8)), QPointF(I16(p + 10), I16(p + 12)));
  PlayWindowsMetafile(canvas.Painter(), p + kPlaceableHeaderSize,
                      bytes_.size() - kPlaceableHeaderSize, bounds, target);
}

void TMetafile::SetHeight(int32_t height) {
  if (height == height_) return;
  height_ = height;
  NotifyChanged(this);
}

void TMetafile::SetWidth(int32_t width) {
  if (width == width_) return;
  width_ = width;
  NotifyChanged(this);
}

void TMetafile::ReadFromStream(TStream& stream) {
  QByteArray bytes = ReadPictureFile(stream);
  const int64_t count = bytes.size();
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
  int32_t width = 0;
  int32_t height = 0;
  const bool enhanced = LooksEnhanced(p, count);
  if (enhanced) {
    bytes.truncate(static_cast<qsizetype>(CheckEnhanced(p, count, width, height)));
  } else {
    CheckPlaceable(p, count, width, height);
  }
  bytes_ = std::move(bytes);
  enhanced_ = enhanced;
  width_ = width;
  height_ = height;
  NotifyChanged(this);
}

}  // namespace qv
