// Hex codec throughput against memcpy of as many bytes as the encoder writes,
// and against the machine's memory floor for the same job.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "conversion/hex_codec.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t n) {
  std::vector<uint8_t> bytes(n);
  std::mt19937_64 rng(1);
  for (size_t i = 0; i + 8 <= n; i += 8) {
    const uint64_t v = rng();
    std::memcpy(bytes.data() + i, &v, 8);
  }
  return bytes;
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {1024, 65536, 1048576, 16777216, 268435456}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

// Copies 2*N bytes: the amount of text the encoder writes for N bytes.
void Memcpy(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  std::vector<char> from(2 * n, 'A'), to(2 * n, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), 2 * n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(2 * n));
}
BENCHMARK(Memcpy)->Apply(Sizes);

// The least any encoder (out = 2 * in) or decoder (in = 2 * out) can take here:
// every input byte read and every output byte written with streaming stores,
// nothing computed. Counted in the codec's own units (encode: input bytes,
// decode: hex characters), so the codec's rate over this one is the share of
// the floor it reaches. Streaming stores bypass the caches, so this is a floor
// only for data larger than they are: it runs at 256 MiB alone.
template <bool kEncode>
void MemoryFloor(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const size_t in_bytes = kEncode ? n : 2 * n, out_bytes = kEncode ? 2 * n : n;
  std::vector<char> in(in_bytes, 'A'), out(out_bytes, 0);  // 16-byte aligned (malloc)
  for (auto _ : state) {
#if defined(__SSE2__)
    constexpr size_t kIn = kEncode ? 16 : 32, kOut = kEncode ? 32 : 16;
    __m128i seen = _mm_setzero_si128();
    for (size_t i = 0, o = 0; i < in_bytes; i += kIn, o += kOut) {
      for (size_t k = 0; k < kIn; k += 16) {
        seen = _mm_xor_si128(seen, _mm_load_si128(reinterpret_cast<const __m128i*>(&in[i + k])));
      }
      for (size_t k = 0; k < kOut; k += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(&out[o + k]), seen);
      }
    }
    _mm_sfence();
#else
    std::memset(out.data(), in[0], out_bytes);
#endif
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(kEncode ? n : 2 * n));
}
BENCHMARK_TEMPLATE(MemoryFloor, true)
    ->Name("MemoryFloor/Encode")
    ->Arg(268435456)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(MemoryFloor, false)
    ->Name("MemoryFloor/Decode")
    ->Arg(268435456)
    ->Unit(benchmark::kMicrosecond);

template <qv::THexPath kPath>
void HexEncode(benchmark::State& state) {
  if (!qv::HexPathSupported(kPath)) {
    state.SkipWithError("this processor lacks the path");
    return;
  }
  const size_t n = static_cast<size_t>(state.range(0));
  const auto bytes = RandomBytes(n);
  std::vector<char> text(2 * n);
  for (auto _ : state) {
    qv::BytesToHexTextWith(kPath, bytes.data(), text.data(), static_cast<int32_t>(n));
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  // Input bytes per second.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

template <qv::THexPath kPath>
void HexDecode(benchmark::State& state) {
  if (!qv::HexPathSupported(kPath)) {
    state.SkipWithError("this processor lacks the path");
    return;
  }
  const size_t n = static_cast<size_t>(state.range(0));
  const auto bytes = RandomBytes(n);
  std::vector<char> text(2 * n + 1, 0);
  qv::BytesToHexTextPlain(bytes.data(), text.data(), static_cast<int32_t>(n));
  std::vector<uint8_t> out(n);
  for (auto _ : state) {
    const int32_t got =
        qv::HexTextToBytesWith(kPath, text.data(), out.data(), static_cast<int32_t>(n));
    benchmark::DoNotOptimize(got);
    benchmark::ClobberMemory();
  }
  // Hex characters per second.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(2 * n));
}

BENCHMARK_TEMPLATE(HexEncode, qv::THexPath::AVX512VBMI)->Name("HexEncode/AVX512VBMI")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexEncode, qv::THexPath::AVX512BW)->Name("HexEncode/AVX512BW")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexEncode, qv::THexPath::AVX2)->Name("HexEncode/AVX2")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexEncode, qv::THexPath::SSSE3)->Name("HexEncode/SSSE3")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexEncode, qv::THexPath::Plain)->Name("HexEncode/Plain")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexDecode, qv::THexPath::AVX512VBMI)->Name("HexDecode/AVX512VBMI")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexDecode, qv::THexPath::AVX512BW)->Name("HexDecode/AVX512BW")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexDecode, qv::THexPath::AVX2)->Name("HexDecode/AVX2")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexDecode, qv::THexPath::SSSE3)->Name("HexDecode/SSSE3")->Apply(Sizes);
BENCHMARK_TEMPLATE(HexDecode, qv::THexPath::Plain)->Name("HexDecode/Plain")->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
