// The text forms of a 10 MB picture: reading every form back (GB/s of text
// in) and writing every form (GB/s of text out, whole and in pieces), each
// beside memcpy of the same text measured in the same run. The budget is
// 1 GB/s for every form; "vs_memcpy" is the share of memcpy's speed.
//
// The dumps come from the real tools (xxd, hexdump, od); without them those
// reading benchmarks are left out. Freed memory is kept by the allocator, as
// in a program that has converted before. Rates are of processor time (the
// machine is shared); the memcpy beside each is measured the same way.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/text_form_writer.h"
#include "tests/test_support.h"

namespace {

using qv::testing_support::TenMegabytePicture;

// Seconds of this thread's processor time: on a shared machine, time spent
// waiting for a processor is not the code's.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// GB/s of memcpy of `n` bytes into memory already touched: the best of a few.
double MemcpyRate(size_t n) {
  std::string from(n, 'A'), to(n, 'B');
  double best = 0;
  for (int i = 0; i < 5; ++i) {
    const double t0 = ThreadSeconds();
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
    const double seconds = ThreadSeconds() - t0;
    best = std::max(best, static_cast<double>(n) / seconds / 1e9);
  }
  return best;
}

// Runs `body` in the benchmark's loop and reports GB/s of `bytes` per run and
// its share of memcpy's rate for as many bytes.
template <typename Body>
void Measure(benchmark::State& state, size_t bytes, Body body) {
  const double memcpy_rate = MemcpyRate(bytes);
  int64_t runs = 0;
  const double t0 = ThreadSeconds();
  for (auto _ : state) {
    body();
    ++runs;
  }
  const double seconds = ThreadSeconds() - t0;
  const double rate = static_cast<double>(bytes) * static_cast<double>(runs) / seconds / 1e9;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["GBps"] = rate;
  state.counters["memcpy_GBps"] = memcpy_rate;
  state.counters["vs_memcpy"] = rate / memcpy_rate;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

std::string Tool(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[1 << 16];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) out.clear();
  return out;
}

// The texts to read: every form the writer writes, and the tools' dumps.
std::vector<std::pair<std::string, std::string>> ReadingTexts(const std::string& picture) {
  std::vector<std::pair<std::string, std::string>> texts;
  qv::TTextFormOptions named;
  named.FileName = "photo.jpg";
  for (const qv::TTextForm form : qv::kAllTextForms) {
    texts.emplace_back(qv::TextFormInfo(form).Key, qv::WriteTextForm(form, picture, named));
  }
  texts.emplace_back(
      "postgresql-decode",
      "SELECT decode('" + qv::WriteTextForm(qv::TTextForm::HexLower, picture) + "', 'hex');");
  const std::string file = "/tmp/qv_bench_text_forms_" + std::to_string(getpid()) + ".jpg";
  std::ofstream(file, std::ios::binary) << picture;
  for (const char* command :
       {"xxd", "xxd -p", "hexdump -C", "hexdump", "od -x", "od -A x -t x1z -v", "od -An -tx1 -v"}) {
    std::string text = Tool(std::string(command) + " " + file + " 2>/dev/null");
    if (!text.empty()) texts.emplace_back(command, std::move(text));
  }
  std::remove(file.c_str());
  return texts;
}

void Register() {
  // Warm memory: large blocks come back from the allocator already mapped.
  mallopt(M_MMAP_THRESHOLD, 512 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  static const std::string picture = TenMegabytePicture();
  if (picture.empty()) {
    std::fprintf(stderr, "cjpeg failed: no picture to measure\n");
    return;
  }
  static const auto texts = ReadingTexts(picture);
  for (const auto& [name, text] : texts) {
    benchmark::RegisterBenchmark(("Read/" + name).c_str(),
                                 [&text](benchmark::State& state) {
                                   Measure(state, text.size(), [&] {
                                     const qv::TRecognition read = qv::RecogniseHexText(text);
                                     if (read.Bytes.size() != picture.size())
                                       state.SkipWithError("read back other bytes");
                                     benchmark::DoNotOptimize(read.Bytes.data());
                                   });
                                 })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
  }
  for (const qv::TTextForm form : qv::kAllTextForms) {
    const std::string key = qv::TextFormInfo(form).Key;
    qv::TTextFormOptions named;
    named.FileName = "photo.jpg";
    const auto length = static_cast<size_t>(qv::TextFormLength(form, picture.size(), named));
    benchmark::RegisterBenchmark(("Write/" + key).c_str(),
                                 [=](benchmark::State& state) {
                                   Measure(state, length, [&] {
                                     const std::string text =
                                         qv::WriteTextForm(form, picture, named);
                                     benchmark::DoNotOptimize(text.data());
                                   });
                                 })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
    benchmark::RegisterBenchmark(("WritePieces/" + key).c_str(),
                                 [=](benchmark::State& state) {
                                   Measure(state, length, [&] {
                                     qv::WriteTextFormTo(form, picture, named,
                                                         [](std::string_view piece) {
                                                           benchmark::DoNotOptimize(piece.data());
                                                           return true;
                                                         });
                                   });
                                 })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
