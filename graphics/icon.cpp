#include "graphics/icon.h"

#include <cstdlib>

#include "base/exceptions.h"
#include "graphics/canvas.h"
#include "graphics/dib_reader.h"

namespace qv {

namespace {

constexpr const char* kIconInvalidText = "Icon image is not valid";
constexpr int64_t kHeaderSize = 6;
constexpr int64_t kEntrySize = 16;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The directory entry to show: the size nearest the standard icon size, then
// the most colours.
int64_t ChooseEntry(const uint8_t* directory, int64_t count) {
  int64_t best = 0;
  int64_t best_distance = INT64_MAX;
  int64_t best_bits = -1;
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* entry = directory + i * kEntrySize;
    const int64_t width = entry[0] == 0 ? 256 : entry[0];
    const int64_t height = entry[1] == 0 ? 256 : entry[1];
    int64_t bits = U16(entry + 6);
    if (bits == 0) bits = entry[2] == 0 ? 8 : entry[2] <= 2 ? 1 : entry[2] <= 16 ? 4 : 8;
    const int64_t distance = std::llabs(width - TIcon::kStandardIconSize) +
                             std::llabs(height - TIcon::kStandardIconSize);
    if (distance < best_distance || (distance == best_distance && bits > best_bits)) {
      best = i;
      best_distance = distance;
      best_bits = bits;
    }
  }
  return best;
}

}  // namespace

void TIcon::DrawInto(TCanvas& canvas, const TRect& rect) {
  if (IsEmpty()) return;
  canvas.Painter().drawImage(QPoint(rect.Left, rect.Top), Image());
}

void TIcon::ReadFromStream(TStream& stream) {
  QByteArray bytes = ReadPictureFile(stream);
  const int64_t count = bytes.size();
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
  if (count < kHeaderSize) throw EReadError(kStreamReadErrorText);
  const uint16_t type = U16(p + 2);
  if (type != 0 && type != 1) throw EInvalidGraphic(kIconInvalidText);
  const int64_t entries = U16(p + 4);
  if (entries == 0) throw EInvalidGraphic(kIconInvalidText);
  if (kHeaderSize + entries * kEntrySize > count) throw EReadError(kStreamReadErrorText);
  const uint8_t* entry = p + kHeaderSize + ChooseEntry(p + kHeaderSize, entries) * kEntrySize;
  const int64_t image_size = U32(entry + 8);
  const int64_t image_at = U32(entry + 12);
  if (image_at > count || image_size > count - image_at) throw EReadError(kStreamReadErrorText);
  if (image_size == 0) throw EInvalidGraphic(kIconInvalidText);
  QImage image = ReadIconImage(p + image_at, image_size, kIconInvalidText);
  Keep(std::move(bytes), std::move(image));
}

}  // namespace qv
