#include "graphics/picture_budget.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "base/exceptions.h"
#include "base/platform.h"

namespace qv {

int64_t PictureBudgetFor(uint64_t limit) {
  constexpr uint64_t kMinReserve = uint64_t{256} << 20;
  // Qt, the text box with its hex text, the worker and the libraries' own
  // heaps live in the reserve.
  const uint64_t reserve = std::max(kMinReserve, limit / 4);
  if (limit <= reserve) return 0;
  const uint64_t budget = (limit - reserve) / 2;
  return static_cast<int64_t>(std::min<uint64_t>(budget, std::numeric_limits<int64_t>::max()));
}

namespace {
std::atomic<int64_t> g_cap{0};
}  // namespace

int64_t PictureBudget() {
  const int64_t budget = PictureBudgetFor(ProcessMemoryLimit());
  const int64_t cap = g_cap.load(std::memory_order_relaxed);
  return cap > 0 ? std::min(budget, cap) : budget;
}

void SetPictureBudgetCap(int64_t bytes) {
  g_cap.store(std::max<int64_t>(bytes, 0), std::memory_order_relaxed);
}

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
  if (PictureBytes(width, height, bits_per_pixel) > PictureBudget()) RaiseOutOfMemory();
}

}  // namespace qv
