// Picture to hex and hex to picture on a 10 MB JPEG against their budgets, in
// one run: memcpy of the text (the baseline), the header read, the current
// JPEGToHex/HexToJPEG, and the former way through a separate byte buffer.
//
// Each runs in two memory states. "warm": the allocator keeps freed memory, so
// blocks come back resident (a long-running process that converted before).
// "fresh": every large block is a new mapping whose pages fault on first touch
// (the first conversion; on a virtual machine each fault is costly), with a
// fresh-memory memcpy beside it.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/streams.h"
#include "conversion/hex_codec.h"
#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "tests/test_support.h"

namespace {

using qv::testing_support::TenMegabytePicture;

using qv::testing_support::LoadBytes;

// Arg 0: warm, 1: fresh (see the top).
bool SetMemoryState(benchmark::State& state) {
  if (TenMegabytePicture().empty()) {
    state.SkipWithError("cjpeg failed");
    return false;
  }
  if (state.range(0) == 0) {
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  } else {
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
  }
  return true;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

void States(benchmark::internal::Benchmark* b) {
  b->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
  b->MinTime(0.3);
}

// The budgets' baseline: copying the text once (into fresh memory when fresh).
void MemcpyOfText(benchmark::State& state) {
  if (!SetMemoryState(state)) return;
  const size_t n = 2 * TenMegabytePicture().size();
  std::string from(n, 'A');
  std::string to(n, 0);
  for (auto _ : state) {
    if (state.range(0) == 1) {
      std::string fresh;
      fresh.reserve(n);
      std::memcpy(fresh.data(), from.data(), n);
      benchmark::DoNotOptimize(fresh.data());
    } else {
      std::memcpy(to.data(), from.data(), n);
      benchmark::DoNotOptimize(to.data());
    }
    benchmark::ClobberMemory();
  }
  state.counters["text_MB"] = static_cast<double>(n) / 1e6;
}
BENCHMARK(MemcpyOfText)->Apply(States);

// The header read alone, on bytes already in memory.
void HeaderRead(benchmark::State& state) {
  if (!SetMemoryState(state)) return;
  const std::string& bytes = TenMegabytePicture();
  for (auto _ : state) {
    const auto facts =
        qv::jpeg::ReadHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    benchmark::DoNotOptimize(facts.Width);
  }
}
BENCHMARK(HeaderRead)->Apply(States);

// The former JPEGToHex: bytes copied out into a buffer, then a zero-filled text.
void JPEGToHexViaBuffer(qv::TJPEGImage& picture, std::string& text) {
  qv::TMemoryStream buffer;
  picture.WriteToStream(buffer);
  std::string result(static_cast<size_t>(2 * buffer.Size()), '\0');
  qv::BytesToHexText(buffer.Memory(), result.data(), static_cast<int32_t>(buffer.Size()));
  text.swap(result);
}

// The former HexToJPEG: decoded into a buffer, which the picture then copies.
void HexToJPEGViaBuffer(const std::string& text, qv::TJPEGImage& picture) {
  const int32_t count = static_cast<int32_t>(text.size() / 2);
  qv::TMemoryStream buffer;
  buffer.SetSize(count);
  const int32_t decoded = qv::HexTextToBytes(text.data(), buffer.Memory(), count);
  if (decoded < count)
    std::memset(buffer.Memory() + decoded, 0, static_cast<size_t>(count - decoded));
  buffer.SetPosition(0);
  picture.ReadFromStream(buffer);
}

template <bool kBefore>
void ToHex(benchmark::State& state) {
  if (!SetMemoryState(state)) return;
  qv::TJPEGImage picture;
  LoadBytes(picture, TenMegabytePicture());
  const long faults = MinorFaults();
  for (auto _ : state) {
    std::string text;
    if (kBefore)
      JPEGToHexViaBuffer(picture, text);
    else
      qv::JPEGToHex(picture, text);
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["faults"] = benchmark::Counter(static_cast<double>(MinorFaults() - faults),
                                                benchmark::Counter::kAvgIterations);
}
BENCHMARK_TEMPLATE(ToHex, false)->Name("JPEGToHex")->Apply(States);
BENCHMARK_TEMPLATE(ToHex, true)->Name("JPEGToHexBefore")->Apply(States);

template <bool kBefore>
void ToJPEG(benchmark::State& state) {
  if (!SetMemoryState(state)) return;
  qv::TJPEGImage source;
  LoadBytes(source, TenMegabytePicture());
  std::string text;
  qv::JPEGToHex(source, text);
  const long faults = MinorFaults();
  for (auto _ : state) {
    qv::TJPEGImage picture;
    if (kBefore)
      HexToJPEGViaBuffer(text, picture);
    else
      qv::HexToJPEG(text, picture);
    benchmark::DoNotOptimize(picture.Width());
  }
  state.counters["faults"] = benchmark::Counter(static_cast<double>(MinorFaults() - faults),
                                                benchmark::Counter::kAvgIterations);
}
BENCHMARK_TEMPLATE(ToJPEG, false)->Name("HexToJPEG")->Apply(States);
BENCHMARK_TEMPLATE(ToJPEG, true)->Name("HexToJPEGBefore")->Apply(States);

}  // namespace

BENCHMARK_MAIN();
