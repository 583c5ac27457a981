// Bitmaps: formats, sizes and their limit, rows, palettes, copies, files and
// stretched drawing through a canvas.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include <cstring>

#include <QGuiApplication>
#include <QPainter>

#include "base/exceptions.h"
#include "base/platform.h"
#include "base/streams.h"
#include "graphics/bitmap.h"
#include "graphics/canvas.h"
#include "graphics/picture_budget.h"

namespace qv {
namespace {

class BitmapTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_bitmap";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  }
};

// Paints a 2x2 24-bit bitmap: red, green / blue, white (row 0 on top).
void MakeQuad(TBitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(2, 2);
  const uint8_t top[] = {0, 0, 255, 0, 255, 0};
  const uint8_t bottom[] = {255, 0, 0, 255, 255, 255};
  std::memcpy(bitmap.ScanLine(0), top, sizeof top);
  std::memcpy(bitmap.ScanLine(1), bottom, sizeof bottom);
}

QImage Draw(TGraphic& picture, int width, int height, const TRect& rect) {
  QImage target(width, height, QImage::Format_RGB32);
  target.fill(Qt::black);
  QPainter painter(&target);
  TCanvas canvas(painter);
  picture.DrawInto(canvas, rect);
  painter.end();
  return target;
}

TEST_F(BitmapTest, NewBitmapIsEmptyAndSizesZeroFilled) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(5, 3);
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(bitmap.BytesPerLine(), 8) << "rows padded to 4 bytes";
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bitmap.ScanLine(y)[x], 0);
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_EQ(bitmap.BytesPerLine(), 16);
  EXPECT_EQ(bitmap.Width(), 5);
}

TEST_F(BitmapTest, SizesOverTheBudgetFailWithoutChange) {
  // Rows of 65536 bytes, one more than the budget holds.
  const int32_t over = static_cast<int32_t>(PictureBudget() / 65536 + 1);
  struct Case {
    int32_t width, height;
    TPixelFormat format;
  } cases[] = {{65500, 65500, pf24bit},
               {65536, over, pf8bit},
               {over, 65536, pf8bit},
               {0x7FFFFFFF, 2, pf24bit},
               // Bytes beyond 64 bits: the size must not wrap round to a small block.
               {0x7FFFFFFF, 0x7FFFFFFF, pf24bit},
               {0x7FFFFFFF, 0x7FFFFFFF, pf32bit},
               {-1, 5, pf24bit}};
  for (const auto& c : cases) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(c.format);
    bitmap.SetSize(2, 2);
    try {
      bitmap.SetSize(c.width, c.height);
      ADD_FAILURE() << c.width << "x" << c.height << ": no error";
    } catch (const EOutOfMemory& e) {
      EXPECT_EQ(e.Message(), "Out of memory");
    }
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Height(), 2);
  }
  // A real photo's size: 96 megapixels, over a quarter of a gigabyte.
  TBitmap photo;
  photo.SetSize(12000, 8000);
  EXPECT_EQ(photo.Height(), 8000);
}

TEST(PictureBudget, FollowsTheMemoryTheProcessCanHave) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  const struct {
    uint64_t limit;
    int64_t budget;
  } cases[] = {{0, 0},
               {256 * kMiB, 0},
               {512 * kMiB, 128 * kMiB},
               {kGiB, 384 * kMiB},
               {24 * kGiB, 9 * kGiB},
               {UINT64_MAX, static_cast<int64_t>((UINT64_MAX - UINT64_MAX / 4) / 2)}};
  for (const auto& c : cases) EXPECT_EQ(PictureBudgetFor(c.limit), c.budget) << c.limit;
  // With 24 GiB, 200 megapixels fit with a progressive decoder's coefficients
  // (two bytes a sample, three samples a pixel) beside them; a header's
  // 65500 x 65500 in 24 bits does not.
  const int64_t budget = PictureBudgetFor(24 * kGiB);
  EXPECT_LE(PictureBytes(20000, 10000, 24) + int64_t{20000} * 10000 * 3 * 2, budget);
  EXPECT_GT(PictureBytes(65500, 65500, 24), budget);
  // This process's budget is its own limit's.
  EXPECT_GT(PictureBudget(), 0);
  EXPECT_LE(static_cast<uint64_t>(PictureBudget()), PhysicalMemoryLimit() / 2);
}

TEST(PictureBudget, BytesArePaddedRowsAndSaturate) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const struct {
    int64_t width, height;
    int bits;
    int64_t bytes;
  } cases[] = {{0, 5, 24, 0},
               {5, -1, 24, 0},
               {5, 1, 24, 16},
               {5, 3, 8, 24},
               {1, 1, 1, 4},
               {16384, 16384, 8, int64_t{256} << 20},
               {0x7FFFFFFF, 0x7FFFFFFF, 32, kMax},
               {kMax, 1, 8, kMax},
               {kMax, kMax, 64, kMax}};
  for (const auto& c : cases) {
    EXPECT_EQ(PictureBytes(c.width, c.height, c.bits), c.bytes) << c.width << "x" << c.height;
  }
  // Exactly the budget passes, one row more does not.
  const int64_t rows = PictureBudget() / 65536;
  EXPECT_NO_THROW(CheckPictureSize(65536, rows, 8));
  EXPECT_THROW(CheckPictureSize(65536, rows + 1, 8), EOutOfMemory);
  EXPECT_THROW(CheckPictureSize(kMax, kMax, 24), EOutOfMemory);
  EXPECT_THROW(CheckPictureSize(-1, 0, 24), EOutOfMemory);
}

TEST_F(BitmapTest, CopiesAreIndependent) {
  TBitmap original;
  MakeQuad(original);
  TBitmap copy;
  copy.AssignFrom(&original);
  EXPECT_EQ(copy.Width(), 2);
  copy.ScanLine(0)[0] = 7;
  EXPECT_EQ(original.ScanLine(0)[0], 0);
  EXPECT_EQ(copy.ScanLine(1)[0], 255);
  TBitmap target;
  original.AssignInto(target);
  EXPECT_EQ(target.ScanLine(0)[2], 255);
}

TEST_F(BitmapTest, StretchDrawRepeatsWholePixelsTopRowFirst) {
  TBitmap bitmap;
  MakeQuad(bitmap);
  const QImage out = Draw(bitmap, 6, 6, TRect{1, 1, 5, 5});
  EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0)) << "outside the rectangle";
  const struct {
    int x, y;
    QRgb colour;
  } expected[] = {{1, 1, qRgb(255, 0, 0)}, {2, 2, qRgb(255, 0, 0)}, {3, 1, qRgb(0, 255, 0)},
                  {4, 2, qRgb(0, 255, 0)}, {1, 3, qRgb(0, 0, 255)}, {4, 4, qRgb(255, 255, 255)}};
  for (const auto& e : expected) EXPECT_EQ(out.pixel(e.x, e.y), e.colour) << e.x << "," << e.y;
  EXPECT_EQ(out.pixel(5, 5), qRgb(0, 0, 0));
}

TEST_F(BitmapTest, PaletteGivesIndexColours) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 1);
  auto palette = MakePalette({qRgb(10, 20, 30), qRgb(200, 100, 50)});
  bitmap.SetPalette(palette);
  EXPECT_EQ(bitmap.Palette(), palette);
  EXPECT_EQ(bitmap.PaletteHandle(), palette);
  bitmap.ScanLine(0)[1] = 1;
  const QImage out = Draw(bitmap, 2, 1, TRect{0, 0, 2, 1});
  EXPECT_EQ(out.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(out.pixel(1, 0), qRgb(200, 100, 50));
}

TEST_F(BitmapTest, FilesAndClipboardRoundTrip) {
  for (TPixelFormat format : {pf8bit, pf24bit}) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(3, 2);
    if (format == pf8bit) bitmap.SetPalette(MakePalette({qRgb(1, 2, 3), qRgb(4, 5, 6)}));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        bitmap.ScanLine(y)[x] = static_cast<uint8_t>(format == pf8bit ? (x + y) % 2 : x * 40 + y);
    TMemoryStream stream;
    bitmap.WriteToStream(stream);
    EXPECT_EQ(stream.Memory()[0], 'B');
    stream.SetPosition(0);
    TBitmap back;
    back.ReadFromStream(stream);
    ASSERT_EQ(back.Width(), 3);
    ASSERT_EQ(back.Height(), 2);
    EXPECT_EQ(back.PixelFormat(), format);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(back.Image().pixel(x, y), bitmap.Image().pixel(x, y));

    TClipboardFormat clip_format = 0;
    TClipboardData data;
    TPaletteHandle palette;
    bitmap.WriteToClipboard(clip_format, data, palette);
    TBitmap pasted;
    pasted.ReadFromClipboard(clip_format, data, palette);
    EXPECT_EQ(pasted.Image().pixel(2, 1), bitmap.Image().pixel(2, 1));
  }
}

TEST_F(BitmapTest, ReadingEmptyAndForeignStreams) {
  TBitmap bitmap;
  MakeQuad(bitmap);
  TMemoryStream empty;
  bitmap.ReadFromStream(empty);
  EXPECT_TRUE(bitmap.IsEmpty());
  TMemoryStream foreign;
  foreign.WriteBuffer("GIF89a.........", 15);
  foreign.SetPosition(0);
  try {
    bitmap.ReadFromStream(foreign);
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Bitmap image is not valid");
  }
  TMemoryStream written;
  bitmap.WriteToStream(written);
  EXPECT_EQ(written.Size(), 0) << "an empty bitmap writes nothing";
}

}  // namespace
}  // namespace qv
