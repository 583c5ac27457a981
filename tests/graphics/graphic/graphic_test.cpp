// The abstract picture's base behaviour, seen through a minimal picture class.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "base/platform.h"
#include "base/streams.h"
#include "graphics/bitmap.h"
#include "graphics/graphic.h"
#include "graphics/shared_image.h"

namespace qv {
namespace {

// Holds a few bytes as its whole content.
class TTestGraphic : public TGraphic {
  QV_GRAPHIC_CLASS(TTestGraphic)

 public:
  std::string bytes;
  std::vector<std::string> calls;

  void DrawInto(TCanvas&, const TRect&) override {}
  bool IsEmpty() const override { return bytes.empty(); }
  int32_t Height() const override { return 0; }
  int32_t Width() const override { return static_cast<int32_t>(bytes.size()); }
  void SetHeight(int32_t) override { calls.push_back("height"); }
  void SetWidth(int32_t) override { calls.push_back("width"); }
  void ReadFromStream(TStream& stream) override {
    bytes.resize(static_cast<size_t>(stream.Size() - stream.Position()));
    stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  void WriteToStream(TStream& stream) override {
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  void ReadFromClipboard(TClipboardFormat, const TClipboardData&, TPaletteHandle) override {}
  void WriteToClipboard(TClipboardFormat&, TClipboardData&, TPaletteHandle&) override {}
};

TEST(GraphicTest, AssignFailuresNameBothClasses) {
  TTestGraphic picture;
  TBitmap bitmap;
  try {
    picture.AssignFrom(nullptr);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TTestGraphic");
  }
  // The test class knows no target; the bitmap does not know the test class either.
  try {
    bitmap.AssignFrom(&picture);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TTestGraphic to a TBitmap");
  }
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(GraphicTest, TransparentNotifiesOnlyRealChanges) {
  TTestGraphic picture;
  int changes = 0;
  TPersistent* sender = nullptr;
  picture.OnChange = [&](TPersistent* s) {
    ++changes;
    sender = s;
  };
  EXPECT_FALSE(picture.Transparent());
  EXPECT_FALSE(picture.Modified());
  picture.SetTransparent(false);
  EXPECT_EQ(changes, 0);
  picture.SetTransparent(true);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(sender, &picture);
  EXPECT_TRUE(picture.Modified());
  picture.SetTransparent(true);
  EXPECT_EQ(changes, 1);
}

TEST(GraphicTest, SameAsComparesEmptinessClassAndBytes) {
  TTestGraphic a, b;
  TBitmap empty_bitmap;
  EXPECT_TRUE(a.SameAs(&empty_bitmap)) << "two empty pictures of different classes are equal";
  a.bytes = std::string("abc");
  EXPECT_FALSE(a.SameAs(&b));
  EXPECT_FALSE(b.SameAs(&a));
  b.bytes = std::string("abc");
  EXPECT_TRUE(a.SameAs(&b));
  b.bytes = std::string("abd");
  EXPECT_FALSE(a.SameAs(&b));
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  EXPECT_FALSE(a.SameAs(&bitmap));
}

TEST(GraphicTest, FormDataIsStoredWhenNotEmptyOrDifferentFromAncestor) {
  TTestGraphic picture, ancestor;
  EXPECT_FALSE(picture.StoresFormData(nullptr));
  picture.bytes = std::string("x");
  EXPECT_TRUE(picture.StoresFormData(nullptr));
  ancestor.bytes = std::string("x");
  EXPECT_FALSE(picture.StoresFormData(&ancestor));
  ancestor.bytes = std::string("y");
  EXPECT_TRUE(picture.StoresFormData(&ancestor));
}

TEST(GraphicTest, SetDimensionsSetsWidthThenHeight) {
  TTestGraphic picture;
  picture.SetDimensions(3, 4);
  EXPECT_EQ(picture.calls, (std::vector<std::string>{"width", "height"}));
}

TEST(GraphicTest, NotifyProgressPassesArgumentsOn) {
  TTestGraphic picture;
  TProgressStage stage{};
  int percent = -1;
  TRect rect;
  picture.NotifyProgress(&picture, psRunning, 5, true, TRect{0, 0, 1, 1},
                         "x");  // no handler: nothing
  picture.OnProgress = [&](TPersistent*, TProgressStage s, int p, bool, const TRect& r,
                           const std::string&) {
    stage = s;
    percent = p;
    rect = r;
  };
  picture.NotifyProgress(&picture, psEnding, 100, false, TRect{1, 2, 3, 4}, "");
  EXPECT_EQ(stage, psEnding);
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(rect, (TRect{1, 2, 3, 4}));
}

TEST(GraphicTest, ClassRecordsMakeEmptyPictures) {
  const TGraphicClass& record = GraphicClassOf<TBitmap>();
  EXPECT_STREQ(record.Name, "TBitmap");
  auto made = record.Create();
  EXPECT_STREQ(made->ClassName(), "TBitmap");
  EXPECT_TRUE(made->IsEmpty());
  EXPECT_EQ(&made->GraphicClass(), &record);
  TTestGraphic picture;
  EXPECT_STREQ(picture.NewOfSameClass()->ClassName(), "TTestGraphic");
}

TEST(GraphicTest, ReadFromFileReadsWholeFileAndNamesMissingOnes) {
  const auto dir = std::filesystem::temp_directory_path() / "qv_graphic_test";
  std::filesystem::create_directories(dir);
  const auto path = dir / "content.bin";
  {
    TTestGraphic writer;
    writer.bytes = std::string("he\0llo", 6);
    writer.WriteToFile(path.string());
  }
  TTestGraphic picture;
  picture.ReadFromFile(path.string());
  EXPECT_EQ(picture.bytes, std::string("he\0llo", 6));

  // A relative name is reported as its full path; the system text loses its trailing full stop.
  const auto old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  try {
    picture.ReadFromFile("./sub/../missing.jpg");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    std::string expected = "Cannot open file \"";
    expected.append((dir / "missing.jpg").string()).append("\". ").append(SystemErrorText(ENOENT));
    EXPECT_EQ(e.Message(), expected);
  }
  std::filesystem::current_path(old_cwd);
  EXPECT_EQ(picture.bytes, std::string("he\0llo", 6));
  std::filesystem::remove_all(dir);
}

class TCountedImage : public TSharedImage {
 public:
  explicit TCountedImage(std::atomic<int>& frees) : frees_(frees) {}

 protected:
  void FreeResources() noexcept override { frees_.fetch_add(1); }

 private:
  std::atomic<int>& frees_;
};

TEST(GraphicTest, SharedImageIsFreedOnceByTheLastHolder) {
  std::atomic<int> frees{0};
  auto* image = new TCountedImage(frees);
  EXPECT_EQ(image->ShareCount(), 1);
  image->AddShare();
  EXPECT_EQ(image->ShareCount(), 2);
  image->DropShare();
  EXPECT_EQ(frees.load(), 0);
  image->DropShare();
  EXPECT_EQ(frees.load(), 1);

  // Many holders on many threads: still exactly one free.
  for (int round = 0; round < 50; ++round) {
    std::atomic<int> count{0};
    auto* shared = new TCountedImage(count);
    constexpr int kThreads = 8;
    for (int i = 1; i < kThreads; ++i) shared->AddShare();
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([shared] {
        for (int j = 0; j < 100; ++j) {
          shared->AddShare();
          shared->DropShare();
        }
        shared->DropShare();
      });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(count.load(), 1);
  }
}

}  // namespace
}  // namespace qv
