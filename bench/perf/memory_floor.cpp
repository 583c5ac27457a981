// The least this machine needs for picture to hex of N bytes: 2N bytes of
// fresh memory made resident and written, and N bytes read. The window flow
// (scripts/perf/window_flow.sh) measures it beside each conversion, so the
// conversion's time can be set against it in the same run.
// Usage: perf_memory_floor N   (prints one JSON object)
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Reads every byte; the sum keeps the reads from being dropped.
uint64_t ReadAll(const uint8_t* p, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, p + i, 8);
    sum += v;
  }
  return sum;
}

// One run: a fresh mapping of `size` bytes written whole, the pages either
// faulted in by the writes or made resident (large pages) in one call first,
// as the program does for large blocks.
double FreshWrite(size_t size, bool populate) {
  const auto start = Clock::now();
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) std::exit(1);
  if (populate) {
    madvise(block, size, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(block, size, MADV_POPULATE_WRITE);
#endif
  }
  std::memset(block, '0', size);
  const double ms = Ms(start, Clock::now());
  munmap(block, size);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? static_cast<size_t>(std::atoll(argv[1])) : size_t{10} << 20;
  std::vector<uint8_t> bytes(n, 0x5A);  // resident, as the picture's bytes are
  double read_ms = 1e30, faulted_ms = 1e30, populated_ms = 1e30, first_ms = 0;
  uint64_t sum = 0;
  for (int run = 0; run < 5; ++run) {
    const auto t = Clock::now();
    sum += ReadAll(bytes.data(), n);
    read_ms = std::min(read_ms, Ms(t, Clock::now()));
    // The first block this process gets may cost more (the host backs it
    // anew); later ones reuse what the earlier ones released.
    const double populated = FreshWrite(2 * n, true);
    if (run == 0) first_ms = populated;
    populated_ms = std::min(populated_ms, populated);
    faulted_ms = std::min(faulted_ms, FreshWrite(2 * n, false));
  }
  const double floor_ms = read_ms + std::min(faulted_ms, populated_ms);
  std::printf(
      "{\"bytes\": %zu, \"read_n_ms\": %.3f, \"fresh_2n_faulted_ms\": %.3f, "
      "\"fresh_2n_populated_ms\": %.3f, \"fresh_2n_populated_first_ms\": %.3f, "
      "\"floor_ms\": %.3f, \"checksum\": %llu}\n",
      n, read_ms, faulted_ms, populated_ms, first_ms, floor_ms,
      static_cast<unsigned long long>(sum & 0xFF));
  return 0;
}
