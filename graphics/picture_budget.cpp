#include "graphics/picture_budget.h"

#include <limits>

#include "base/exceptions.h"

namespace qv {

int64_t PictureBytes(int64_t width, int64_t height, int bits_per_pixel) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (width <= 0 || height <= 0 || bits_per_pixel <= 0) return 0;
  // Divided before multiplied: the sides may come straight from a header.
  if (width > (kMax - 31) / bits_per_pixel) return kMax;
  const int64_t stride = (width * bits_per_pixel + 31) / 32 * 4;
  if (height > kMax / stride) return kMax;
  return stride * height;
}

void CheckPictureSize(int64_t width, int64_t height, int bits_per_pixel) {
  if (width < 0 || height < 0) RaiseOutOfMemory();
  if (PictureBytes(width, height, bits_per_pixel) > kMaxPictureBytes) RaiseOutOfMemory();
}

}  // namespace qv
