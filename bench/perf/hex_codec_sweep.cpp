// Hex encode and decode throughput from 1 KiB to 256 MiB: the dispatched codec,
// the plain table code and memcpy of the same output, in one process.
// Usage: perf_hex_codec [MAX_BYTES]   (prints one JSON object per line)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "conversion/hex_codec.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best of enough runs to fill ~0.2 s (at least 3): seconds per run.
template <typename F>
double BestSeconds(F&& f) {
  double best = 1e30, total = 0;
  for (int i = 0; i < 3 || (total < 0.2 && i < 100000); ++i) {
    const auto t = Clock::now();
    f();
    const double s = std::chrono::duration<double>(Clock::now() - t).count();
    best = std::min(best, s);
    total += s;
  }
  return best;
}

void Print(const char* what, const char* op, size_t bytes, double seconds) {
  std::printf("{\"tool\": \"%s\", \"op\": \"%s\", \"bytes\": %zu, \"seconds\": %.9f}\n", what, op,
              bytes, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t max = argc > 1 ? static_cast<size_t>(std::atoll(argv[1])) : size_t{256} << 20;
  std::vector<uint8_t> bytes(max);
  std::mt19937_64 rng(1);
  for (size_t i = 0; i + 8 <= max; i += 8) {
    const uint64_t v = rng();
    std::memcpy(bytes.data() + i, &v, 8);
  }
  std::vector<char> text(2 * max), copy(2 * max);
  std::vector<uint8_t> back(max);
  for (size_t n = 1024; n <= max; n *= 4) {
    const int32_t count = static_cast<int32_t>(n);
    Print("quorvane", "encode", n,
          BestSeconds([&] { qv::BytesToHexText(bytes.data(), text.data(), count); }));
    Print("plain table", "encode", n,
          BestSeconds([&] { qv::BytesToHexTextPlain(bytes.data(), text.data(), count); }));
    Print("quorvane", "decode", n,
          BestSeconds([&] { qv::HexTextToBytes(text.data(), back.data(), count); }));
    Print("plain table", "decode", n,
          BestSeconds([&] { qv::HexTextToBytesPlain(text.data(), back.data(), count); }));
    Print("memcpy", "encode", n,
          BestSeconds([&] { std::memcpy(copy.data(), text.data(), 2 * n); }));
    Print("memcpy", "decode", n,
          BestSeconds([&] { std::memcpy(copy.data(), text.data(), 2 * n); }));
    if (std::memcmp(back.data(), bytes.data(), n) != 0) {
      std::fprintf(stderr, "round trip failed at %zu bytes\n", n);
      return 1;
    }
  }
  return 0;
}
