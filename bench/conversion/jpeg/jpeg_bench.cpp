// JPEG picture costs: drawing into the window's boxes, header read, full decode against djpeg on
// the same files (run in the same process run as the baseline), picture to hex and back on a 10 MB
// picture against memcpy of the text, and the peak memory of each.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>

#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "graphics/canvas.h"
#include "tests/test_support.h"

extern char** environ;

namespace {

const char* const kFiles[] = {"large-pil-photo-2000x1072.jpg", "large-pillars-2048x2048.jpg",
                              "large-pillars-2048x2048-progressive.jpg",
                              "large-pillars-4096x4096-upscaled.jpg"};

std::string CorpusPath(int i) {
  return std::string(QUORVANE_CORPUS_DIR) + "/jpeg/good/" + kFiles[i];
}

using qv::testing_support::ReadAll;
using qv::testing_support::TenMegabytePicture;

using qv::testing_support::LoadBytes;

// Processor time (user + system) of this process or of its ended children, ms.
double CpuMs(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Processor ms per decode beside the wall time: on a shared machine the wall
// time of either side moves with the other tenants, the processor time much less.
void CountCpu(benchmark::State& state, double cpu_ms) {
  state.counters["cpu_ms"] = benchmark::Counter(cpu_ms, benchmark::Counter::kAvgIterations);
}

void Files(benchmark::internal::Benchmark* b) {
  for (int i = 0; i < static_cast<int>(std::size(kFiles)); ++i) b->Arg(i);
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// Extra resident memory at the peak of `work`, measured in a forked child.
int64_t PeakExtraBytes(const std::function<void()>& work) {
  auto status_kb = [](const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key));
    }
    return 0LL;
  };
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    // Give back the free memory the parent left resident, so that what `work`
    // allocates shows in the resident peak, and restart the peak from now.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long long before = status_kb("VmRSS:");
    work();
    const long long peak = status_kb("VmHWM:");
    const long long extra = (peak - before) * 1024;
    (void)!write(fds[1], &extra, sizeof extra);
    _exit(0);
  }
  long long extra = -1;
  close(fds[1]);
  (void)!read(fds[0], &extra, sizeof extra);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return extra;
}

// The same in this process, for work that draws: Qt's painter may hand work
// to threads of its own, which a forked child does not have.
int64_t PeakExtraBytesHere(const std::function<void()>& work) {
  auto status_kb = [](const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key));
    }
    return 0LL;
  };
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long long before = status_kb("VmRSS:");
  work();
  return (status_kb("VmHWM:") - before) * 1024;
}

void HeaderRead(benchmark::State& state) {
  const std::string bytes = ReadAll(CorpusPath(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    qv::TJPEGImage picture;
    LoadBytes(picture, bytes);
    benchmark::DoNotOptimize(picture.Width());
  }
  state.SetLabel(kFiles[state.range(0)]);
}
BENCHMARK(HeaderRead)->Apply(Files);

void Decode(benchmark::State& state, qv::TJPEGPixelFormat depth) {
  const std::string bytes = ReadAll(CorpusPath(static_cast<int>(state.range(0))));
  const qv::TJPEGDefaults saved = qv::DefaultJPEGSettings;
  qv::DefaultJPEGSettings.OutputDepth = depth;
  double pixels = 0;
  const double cpu0 = CpuMs(RUSAGE_SELF);
  for (auto _ : state) {
    qv::TJPEGImage picture;
    LoadBytes(picture, bytes);
    const qv::TBitmap& bitmap = picture.DecodedBitmap();
    pixels += static_cast<double>(bitmap.Width()) * bitmap.Height();
  }
  CountCpu(state, CpuMs(RUSAGE_SELF) - cpu0);
  qv::DefaultJPEGSettings = saved;
  state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
  state.SetLabel(kFiles[state.range(0)]);
}
void Decode24(benchmark::State& state) {
  Decode(state, qv::od24Bit);
}
void Decode8(benchmark::State& state) {
  Decode(state, qv::od8Bit);
}
BENCHMARK(Decode24)->Apply(Files);

// A few hundred bytes declaring 65500 x 65500 pixels, in each coding, refused
// at the first draw (the bitmap is over the budget): compare with the decodes above.
const char* const kHugeFrames[] = {"huge-baseline-65500x65500.jpg", "huge-arith-65500x65500.jpg",
                                   "huge-prog-65500x65500.jpg", "huge-progarith-65500x65500.jpg"};
void RefusedHugeFrame(benchmark::State& state) {
  const std::string bytes =
      ReadAll(std::string(QUORVANE_SOURCE_DIR) + "/fuzz/seeds/jpeg/" + kHugeFrames[state.range(0)]);
  int64_t refused = 0;
  for (auto _ : state) {
    qv::TJPEGImage picture;
    LoadBytes(picture, bytes);
    try {
      picture.DecodedBitmap();
    } catch (const qv::Exception&) {
      ++refused;
    }
  }
  if (refused != static_cast<int64_t>(state.iterations())) state.SkipWithError("not refused");
  state.SetLabel(kHugeFrames[state.range(0)]);
}
BENCHMARK(RefusedHugeFrame)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Decode8)->Apply(Files);

// The baseline: the stock decoder on the same file, output discarded.
void Djpeg(benchmark::State& state, bool colors) {
  const std::string path = CorpusPath(static_cast<int>(state.range(0)));
  qv::TJPEGImage probe;
  LoadBytes(probe, ReadAll(path));
  const double megapixels = static_cast<double>(probe.Width()) * probe.Height() / 1e6;
  std::vector<std::string> args = {"djpeg", "-bmp", "-outfile", "/dev/null"};
  if (colors) args.insert(args.begin() + 1, {"-colors", "236"});
  args.push_back(path);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  double pixels = 0;
  const double cpu0 = CpuMs(RUSAGE_CHILDREN);
  for (auto _ : state) {
    pid_t pid;
    if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("djpeg not found");
      break;
    }
    waitpid(pid, nullptr, 0);
    pixels += megapixels;
  }
  CountCpu(state, CpuMs(RUSAGE_CHILDREN) - cpu0);
  state.counters["MP/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
  state.SetLabel(kFiles[state.range(0)]);
}
void DjpegBaseline24(benchmark::State& state) {
  Djpeg(state, false);
}
void DjpegBaseline8(benchmark::State& state) {
  Djpeg(state, true);
}
BENCHMARK(DjpegBaseline24)->Apply(Files);
BENCHMARK(DjpegBaseline8)->Apply(Files);

void MemcpyOfText(benchmark::State& state) {
  const size_t n = 2 * TenMegabytePicture().size();
  std::string from(n, 'A'), to(n, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
  state.counters["text_MB"] = static_cast<double>(n) / 1e6;
}
BENCHMARK(MemcpyOfText)->Unit(benchmark::kMillisecond)->UseRealTime();

void JPEGToHex(benchmark::State& state) {
  const std::string& bytes = TenMegabytePicture();
  qv::TJPEGImage picture;
  LoadBytes(picture, bytes);
  for (auto _ : state) {
    std::string text;
    qv::JPEGToHex(picture, text);
    benchmark::DoNotOptimize(text.data());
  }
  const double n = static_cast<double>(bytes.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  // Accounting: the picture's bytes (held already) + the buffer (N) + the text (2N).
  state.counters["bytes_MB"] = n / 1e6;
  state.counters["peak_extra_MB"] = static_cast<double>(PeakExtraBytes([&] {
                                      std::string text;
                                      qv::JPEGToHex(picture, text);
                                    })) /
                                    1e6;
  state.counters["expected_extra_MB"] = 3 * n / 1e6;
}
BENCHMARK(JPEGToHex)->Unit(benchmark::kMillisecond)->UseRealTime();

void HexToJPEG(benchmark::State& state) {
  const std::string& bytes = TenMegabytePicture();
  qv::TJPEGImage source;
  LoadBytes(source, bytes);
  std::string text;
  qv::JPEGToHex(source, text);
  for (auto _ : state) {
    qv::TJPEGImage picture;
    qv::HexToJPEG(text, picture);
    benchmark::DoNotOptimize(picture.Width());
  }
  const double n = static_cast<double>(bytes.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  // Accounting: the text (held already) + the buffer (L/2) + the picture's bytes (L/2).
  state.counters["text_MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["peak_extra_MB"] = static_cast<double>(PeakExtraBytes([&] {
                                      qv::TJPEGImage picture;
                                      qv::HexToJPEG(text, picture);
                                    })) /
                                    1e6;
  state.counters["expected_extra_MB"] = 2 * n / 1e6;
}
BENCHMARK(HexToJPEG)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodePeakMemory(benchmark::State& state) {
  const std::string bytes = ReadAll(CorpusPath(static_cast<int>(state.range(0))));
  int64_t extra = 0;
  for (auto _ : state) {
    extra = PeakExtraBytes([&] {
      qv::TJPEGImage picture;
      LoadBytes(picture, bytes);
      picture.DecodedBitmap();
    });
  }
  qv::TJPEGImage probe;
  LoadBytes(probe, bytes);
  state.counters["peak_extra_MB"] = static_cast<double>(extra) / 1e6;
  state.counters["bitmap_MB"] =
      static_cast<double>(qv::TBitmap::ByteSize(probe.Width(), probe.Height(), qv::pf24bit)) / 1e6;
  state.SetLabel(kFiles[state.range(0)]);
}
BENCHMARK(DecodePeakMemory)->Apply(Files)->Iterations(1);

// --- drawing into the window's boxes ----------------------------------------------
//
// A picture drawn into a box: "box" as the window draws it now (decoded at the
// smallest n/8 that covers the box), "full" as it drew before (the full decode
// stretched), the baseline of the same run.

// The preview box (Image1) and the restored picture's box (Image2).
constexpr int kPreviewWidth = 309, kPreviewHeight = 221;
constexpr int kRestoredWidth = 587, kRestoredHeight = 537;

// Noise at quality 100, about `mb` MB, as scripts/perf/window_flow.sh makes it.
const std::string& NoisePicture(int mb) {
  static std::string pictures[128];
  std::string& bytes = pictures[mb];
  if (bytes.empty()) {
    const int side = static_cast<int>(std::sqrt(mb * 1e6 / 2.05));
    const std::string stem = "/tmp/qv_bench_noise_" + std::to_string(getpid());
    const std::string command = "{ printf 'P6\\n%d %d\\n255\\n' " + std::to_string(side) + " " +
                                std::to_string(side) + "; head -c " +
                                std::to_string(int64_t{side} * side * 3) +
                                " /dev/urandom; } | cjpeg -quality 100 >" + stem + ".jpg";
    if (std::system(command.c_str()) == 0) bytes = ReadAll(stem + ".jpg");
    std::remove((stem + ".jpg").c_str());
  }
  return bytes;
}

// A 24-megapixel camera-like photo: a smooth synthetic scene (a plasma
// fractal enlarged) with a little sensor noise, at quality 92.
const std::string& CameraPhoto() {
  static const std::string bytes = [] {
    const std::string stem = "/tmp/qv_bench_photo_" + std::to_string(getpid());
    const std::string command =
        "convert -seed 7 -size 600x400 plasma:fractal -resize '6000x4000!' -attenuate 0.2 "
        "+noise Gaussian ppm:- | cjpeg -quality 92 >" +
        stem + ".jpg";
    std::string jpeg = std::system(command.c_str()) == 0 ? ReadAll(stem + ".jpg") : std::string();
    std::remove((stem + ".jpg").c_str());
    return jpeg;
  }();
  return bytes;
}

// Paints `picture` into a box of width x height as a picture box does, or as
// it did before (the full decode stretched).
void Paint(qv::TJPEGImage& picture, int width, int height, bool full) {
  QImage box(width, height, QImage::Format_RGB32);
  QPainter painter(&box);
  qv::TCanvas canvas(painter);
  const qv::TRect rect{0, 0, width, height};
  if (full) {
    canvas.StretchDraw(rect, picture.DecodedBitmap());
  } else {
    picture.DrawInto(canvas, rect);
  }
  benchmark::DoNotOptimize(box.constBits());
}

const char* Way(bool full) {
  return full ? "full decode stretched (before)" : "decoded for the box";
}

// Hex to picture in the window: the text becomes a picture, which the
// restored picture's box paints. Arguments: MB of noise, 1 for the full decode.
void HexToPicturePainted(benchmark::State& state) {
  const int mb = static_cast<int>(state.range(0));
  const bool full = state.range(1) != 0;
  const std::string& bytes = NoisePicture(mb);
  if (bytes.empty()) {
    state.SkipWithError("cjpeg failed");
    return;
  }
  qv::TJPEGImage source;
  LoadBytes(source, bytes);
  std::string text;
  qv::JPEGToHex(source, text);
  const double cpu0 = CpuMs(RUSAGE_SELF);
  for (auto _ : state) {
    qv::TJPEGImage picture;
    qv::HexToJPEG(text, picture);
    Paint(picture, kRestoredWidth, kRestoredHeight, full);
  }
  CountCpu(state, CpuMs(RUSAGE_SELF) - cpu0);
  state.counters["bytes_MB"] = static_cast<double>(bytes.size()) / 1e6;
  if (mb >= 96) {
    // The text is held already; what hex to picture adds at its peak.
    state.counters["peak_extra_MB"] = static_cast<double>(PeakExtraBytesHere([&] {
                                        qv::TJPEGImage picture;
                                        qv::HexToJPEG(text, picture);
                                        Paint(picture, kRestoredWidth, kRestoredHeight, full);
                                      })) /
                                      1e6;
    state.counters["full_bitmap_MB"] =
        static_cast<double>(qv::TBitmap::ByteSize(source.Width(), source.Height(), qv::pf24bit)) /
        1e6;
  }
  state.SetLabel(std::to_string(source.Width()) + " x " + std::to_string(source.Height()) + ", " +
                 Way(full));
}
// Before and after side by side; run with --benchmark_enable_random_interleaving=true
// so that their repetitions alternate and the machine's other load falls on both.
BENCHMARK(HexToPicturePainted)
    ->ArgsProduct({{10, 96}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A camera photo opened into the preview (the file's bytes loaded, the
// preview painted), and the same photo restored from hex into the other box.
void CameraPhotoPainted(benchmark::State& state, bool from_hex) {
  const bool full = state.range(0) != 0;
  const std::string& bytes = CameraPhoto();
  if (bytes.empty()) {
    state.SkipWithError("convert or cjpeg failed");
    return;
  }
  std::string text;
  if (from_hex) {
    qv::TJPEGImage source;
    LoadBytes(source, bytes);
    qv::JPEGToHex(source, text);
  }
  const double cpu0 = CpuMs(RUSAGE_SELF);
  for (auto _ : state) {
    qv::TJPEGImage picture;
    if (from_hex) {
      qv::HexToJPEG(text, picture);
      Paint(picture, kRestoredWidth, kRestoredHeight, full);
    } else {
      LoadBytes(picture, bytes);
      Paint(picture, kPreviewWidth, kPreviewHeight, full);
    }
  }
  CountCpu(state, CpuMs(RUSAGE_SELF) - cpu0);
  state.counters["bytes_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.SetLabel(std::string("6000 x 4000 q92, ") + Way(full));
}
void CameraPhotoOpened(benchmark::State& state) {
  CameraPhotoPainted(state, false);
}
void CameraPhotoRestored(benchmark::State& state) {
  CameraPhotoPainted(state, true);
}
BENCHMARK(CameraPhotoOpened)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(CameraPhotoRestored)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A few kilobytes whose header claims 30000 x 30000 pixels, painted into the
// preview: the real data's rows, then fill copied. (Before, it took about a
// minute and 2.6 GB; that baseline is not run here.)
void ClaimedHugePainted(benchmark::State& state) {
  const std::string small =
      ReadAll(std::string(QUORVANE_CORPUS_DIR) + "/jpeg/good/ljt-testorig.jpg");
  const std::string bytes = qv::testing_support::WithClaimedSize(small, 30000, 30000);
  for (auto _ : state) {
    qv::TJPEGImage picture;
    LoadBytes(picture, bytes);
    Paint(picture, kPreviewWidth, kPreviewHeight, false);
  }
  state.counters["peak_extra_MB"] = static_cast<double>(PeakExtraBytesHere([&] {
                                      qv::TJPEGImage picture;
                                      LoadBytes(picture, bytes);
                                      Paint(picture, kPreviewWidth, kPreviewHeight, false);
                                    })) /
                                    1e6;
}
BENCHMARK(ClaimedHugePainted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
