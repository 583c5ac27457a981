// Helpers the tests and benchmarks share: reading a file whole, the corpus's
// files, hex text made apart from the codec, reading a picture from bytes, a
// watchdog against deadlocks and the 10 MB picture. Benchmarks include it too,
// so it holds nothing of GoogleTest.
#pragma once

#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/streams.h"

namespace qv::testing_support {

// The ThreadSanitizer build. Qt, not built with it, paints a shown window partly
// on its own pool threads, whose hand-overs the sanitizer cannot see: tests
// that only need a window painted skip that part there.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif

// The whole file; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// `n` upper-case hex digits, one from each draw of `rng`: an engine and seed
// give the same text wherever they are used.
template <class Rng>
std::string RandomHex(Rng& rng, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s(n, '0');
  for (char& c : s) c = digits[rng() & 15];
  return s;
}

// The same from a std::mt19937_64 seeded with `seed`.
inline std::string RandomHex(size_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  return RandomHex(rng, n);
}

// `bytes` as upper-case hex pairs, high digit first: what the window shows for
// them, written apart from the codec under test.
inline std::string UpperHex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

// Reads `bytes` into `picture` through a memory stream, as a file's bytes
// would be read.
template <class Picture>
void LoadBytes(Picture& picture, std::string_view bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  picture.ReadFromStream(stream);
}
template <class Picture>
void LoadBytes(Picture& picture, const std::vector<uint8_t>& bytes) {
  LoadBytes(picture, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// JPEG bytes whose frame header claims width x height pixels; unchanged when
// they hold no frame header. The data stays what it was: a picture made
// small whose header claims a huge one ends long before its last row.
inline std::string WithClaimedSize(std::string bytes, int width, int height) {
  for (size_t i = 2; i + 9 < bytes.size() && static_cast<uint8_t>(bytes[i]) == 0xFF;) {
    const auto marker = static_cast<uint8_t>(bytes[i + 1]);
    const size_t length =
        static_cast<uint8_t>(bytes[i + 2]) * 256u + static_cast<uint8_t>(bytes[i + 3]);
    // Baseline, extended, progressive; Huffman or arithmetic.
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA) {
      bytes[i + 5] = static_cast<char>(height >> 8);
      bytes[i + 6] = static_cast<char>(height & 0xFF);
      bytes[i + 7] = static_cast<char>(width >> 8);
      bytes[i + 8] = static_cast<char>(width & 0xFF);
      break;
    }
    i += 2 + length;
  }
  return bytes;
}

#ifdef QUORVANE_CORPUS_DIR
// A file of the shared, read-only corpus, by its path below the corpus folder.
inline std::string Corpus(const std::string& relative) {
  return std::string(QUORVANE_CORPUS_DIR) + "/" + relative;
}
#endif

// Ends the process with a message when a test has not finished within `limit`:
// a deadlock then fails the test instead of hanging the run. Not a speed check;
// the limits are many times what the slowest sanitizer build needs.
class Watchdog {
 public:
  explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(240))
      : what_(std::move(what)), thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!signal_.wait_for(lock, limit, [this] { return dismissed_; })) {
            std::fprintf(stderr, "watchdog: %s did not finish within %lld s (deadlock?)\n",
                         what_.c_str(), static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      dismissed_ = true;
    }
    signal_.notify_all();
    thread_.join();
  }

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable signal_;
  bool dismissed_ = false;
  std::thread thread_;
};

// Runs `body` in a child process whose address space may grow by `room` bytes
// beyond what is mapped now; the child's exit code, or -1 when it did not exit.
#ifndef _WIN32
template <class Body>
int InChildWithAddressSpace(uint64_t room, Body body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    uint64_t mapped = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      unsigned long long pages = 0;
      if (std::fscanf(statm, "%llu", &pages) == 1) mapped = pages * sysconf(_SC_PAGESIZE);
      std::fclose(statm);
    }
    limit.rlim_cur = static_cast<rlim_t>(mapped + room);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

// A picture of about 10 MB, made once per process: noise compresses badly, so
// cjpeg at quality 100 of 2400 x 2048 noise gives roughly that. Empty when
// cjpeg fails.
inline const std::string& TenMegabytePicture() {
  static const std::string bytes = [] {
    const int w = 2400, h = 2048;
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::mt19937 rng(7);
    ppm.reserve(ppm.size() + static_cast<size_t>(w) * h * 3);
    for (int i = 0; i < w * h * 3; ++i) ppm += static_cast<char>(rng() & 0xFF);
    // Named after the process, so that two programs at once do not share files.
    const std::string stem = "/tmp/qv_noise_" + std::to_string(getpid());
    const std::string in = stem + ".ppm", out = stem + ".jpg";
    std::ofstream(in, std::ios::binary) << ppm;
    const int status = std::system(("cjpeg -quality 100 -outfile " + out + " " + in).c_str());
    std::string jpeg = status == 0 ? ReadAll(out) : std::string();
    std::remove(in.c_str());
    std::remove(out.c_str());
    return jpeg;
  }();
  return bytes;
}

}  // namespace qv::testing_support
