// A worker's copy of a picture, made on the UI thread, is written and released
// on the worker while the UI thread draws, replaces or frees the original.
// Run under ASan and TSan: the shared bytes are freed once, by the last holder.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace qv::testing_jpeg;

// A one-shot signal between two threads.
class TSignal {
 public:
  void Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    condition_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [&] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool set_ = false;
};

TEST(JpegThreadsTest, WorkerCopyOutlivesOrPrecedesTheOriginal) {
  const std::string bytes = ReadAll(CorpusFile("good/ljt-testorig.jpg"));
  for (int round = 0; round < 40; ++round) {
    const bool original_goes_first = round % 2 == 0;
    auto original = std::make_unique<TJPEGImage>();
    LoadBytes(*original, bytes);
    if (round % 4 < 2) original->DecodedBitmap();  // the copy then shares the bitmap's pixels too
    auto copy = std::make_unique<TJPEGImage>();
    copy->AssignFrom(original.get());  // on the UI thread, as the worker's hand-off does
    TSignal go;
    std::string text;
    std::thread worker([&, copy = std::move(copy)]() mutable {
      go.Wait();
      JPEGToHex(*copy, text);
      copy.reset();
    });
    if (original_goes_first) {
      original.reset();
      go.Set();
    } else {
      go.Set();
      // Draw and read pixels while the worker writes and releases its copy.
      const TBitmap& bitmap = original->DecodedBitmap();
      unsigned sum = 0;
      for (int y = 0; y < bitmap.Height(); ++y) sum += bitmap.ScanLine(y)[0];
      EXPECT_GT(sum, 0u);
    }
    worker.join();
    EXPECT_EQ(text.size(), 2 * bytes.size());
    if (original) {
      EXPECT_EQ(original->SharedData().ShareCount(), 1);
      EXPECT_EQ(Written(*original), bytes);
    }
  }
}

TEST(JpegThreadsTest, ManyHoldersOnManyThreads) {
  const std::string bytes = ReadAll(CorpusFile("good/ljt-testimgp.jpg"));
  auto original = std::make_unique<TJPEGImage>();
  LoadBytes(*original, bytes);
  original->DecodedBitmap();
  constexpr int kThreads = 6;
  std::vector<std::unique_ptr<TJPEGImage>> copies;
  for (int i = 0; i < kThreads; ++i) {
    copies.push_back(std::make_unique<TJPEGImage>());
    copies.back()->AssignFrom(original.get());
  }
  EXPECT_EQ(original->SharedData().ShareCount(), kThreads + 1);
  TSignal go;
  std::vector<std::thread> threads;
  std::vector<int> same(kThreads, 0);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i, copy = std::move(copies[static_cast<size_t>(i)])]() mutable {
      go.Wait();
      same[static_cast<size_t>(i)] = Written(*copy) == bytes;
      // A fresh picture made from the copy on this thread, then both released here.
      TJPEGImage again;
      again.AssignFrom(copy.get());
      copy.reset();
      same[static_cast<size_t>(i)] &= again.Width() == 227;
    });
  }
  go.Set();
  original.reset();
  for (auto& t : threads) t.join();
  for (int ok : same) EXPECT_EQ(ok, 1);
}

}  // namespace
}  // namespace qv
