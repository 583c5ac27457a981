// The picture box's rules: stretched to the whole area, icons unscaled at the
// top left, metafiles one pixel short at right and bottom, nothing without a
// picture, the transparency rule and repaint requests.
#include "graphics/picture_box.h"
#include "graphics/bitmap.h"
#include "graphics/icon.h"
#include "pictures_test_support.h"

namespace qv {
namespace {

using testing::Corpus;
using testing::PictureTest;
using testing::Render;

constexpr QRgb kBackground = 0xFF123456;

// A 2x1 bitmap: red, blue.
void LoadRedBlue(TPicture& picture) {
  TBitmap bitmap;
  bitmap.SetSize(2, 1);
  const uint8_t row[] = {0, 0, 255, 255, 0, 0};
  std::memcpy(bitmap.ScanLine(0), row, sizeof row);
  picture.AssignFrom(&bitmap);
}

QImage DrawBox(TPicture& picture, int width, int height) {
  return Render(width, height, kBackground, [&](TCanvas& canvas) {
    DrawPictureBox(picture, canvas, TRect{0, 0, width, height});
  });
}

TEST_F(PictureTest, BitmapsAreStretchedToTheWholeAreaWithoutKeepingTheAspect) {
  TPicture picture;
  LoadRedBlue(picture);
  const QImage box = DrawBox(picture, 10, 40);
  for (int y : {0, 20, 39}) {
    EXPECT_EQ(box.pixel(0, y), qRgb(255, 0, 0));
    EXPECT_EQ(box.pixel(4, y), qRgb(255, 0, 0));
    EXPECT_EQ(box.pixel(5, y), qRgb(0, 0, 255));
    EXPECT_EQ(box.pixel(9, y), qRgb(0, 0, 255));
  }
}

TEST_F(PictureTest, AnEmptyBoxDrawsNothing) {
  TPicture picture;
  EXPECT_EQ(DrawBox(picture, 8, 8), Render(8, 8, kBackground, [](TCanvas&) {}));
  picture.OpenPictureFile(Corpus("bmp/own-empty.bmp"));
  ASSERT_NE(picture.HeldGraphic(), nullptr);
  EXPECT_EQ(DrawBox(picture, 8, 8).pixel(4, 4), kBackground) << "an empty bitmap draws nothing";
}

TEST_F(PictureTest, IconsShowUnscaledAtTheTopLeft) {
  TPicture picture;
  picture.OpenPictureFile(Corpus("ico/pil-hopper.ico"));  // 16x16, opaque
  const QImage box = DrawBox(picture, 100, 60);
  const QImage& icon = dynamic_cast<TIcon&>(*picture.HeldGraphic()).Image();
  for (int y = 0; y < 16; y += 5)
    for (int x = 0; x < 16; x += 5) EXPECT_EQ(box.pixel(x, y), icon.pixel(x, y) | 0xFF000000u);
  EXPECT_EQ(box.pixel(16, 0), kBackground);
  EXPECT_EQ(box.pixel(0, 16), kBackground);
  EXPECT_EQ(box.pixel(99, 59), kBackground);
}

TEST_F(PictureTest, IconTransparencyLetsTheBackgroundThrough) {
  TPicture picture;
  picture.OpenPictureFile(Corpus("ico/irs-bmp-32bpp-alpha.ico"));
  const QImage& icon = dynamic_cast<TIcon&>(*picture.HeldGraphic()).Image();
  QPoint clear(-1, -1), solid(-1, -1);
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x) {
      if (qAlpha(icon.pixel(x, y)) == 0) clear = QPoint(x, y);
      if (qAlpha(icon.pixel(x, y)) == 255) solid = QPoint(x, y);
    }
  ASSERT_NE(clear.x(), -1);
  ASSERT_NE(solid.x(), -1);
  const QImage box = DrawBox(picture, 40, 40);
  EXPECT_EQ(box.pixel(clear), kBackground);
  EXPECT_EQ(box.pixel(solid), icon.pixel(solid));
}

TEST_F(PictureTest, MetafilesFillTheAreaLessOnePixelAtRightAndBottom) {
  TPicture picture;
  picture.OpenPictureFile(Corpus("metafile/gdip-test.emf"));  // a filled rectangle over the frame
  const QImage box = DrawBox(picture, 60, 50);
  EXPECT_NE(box.pixel(1, 1), kBackground);
  EXPECT_NE(box.pixel(58, 48), kBackground);
  for (int y = 0; y < 50; ++y) EXPECT_EQ(box.pixel(59, y), kBackground) << y;
  for (int x = 0; x < 60; ++x) EXPECT_EQ(box.pixel(x, 49), kBackground) << x;
}

TEST_F(PictureTest, PngPicturesAreStretchedLikeQtDrawsThem) {
  TPicture picture;
  picture.OpenPictureFile(Corpus("png/pngsuite-basn2c08.png"));
  QImage expected(Corpus("png/pngsuite-basn2c08.png").c_str());
  const QImage box = DrawBox(picture, 32, 32);
  const QImage file = expected.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(box.pixel(x, y), file.pixel(x, y)) << x << "," << y;
  const QImage wide = DrawBox(picture, 96, 20);
  EXPECT_NE(wide.pixel(95, 19), kBackground);
}

TEST_F(PictureTest, BoxSetsTransparencyOffExceptForMetafilesAndIcons) {
  TPictureBox box;
  int repaints = 0;
  box.OnRepaint = [&] { ++repaints; };
  EXPECT_FALSE(box.Opaque()) << "no picture: the parent shows";

  TBitmap transparent_bitmap;
  transparent_bitmap.SetSize(1, 1);
  transparent_bitmap.SetTransparent(true);
  box.Picture().AssignFrom(&transparent_bitmap);
  EXPECT_FALSE(box.Picture().HeldGraphic()->Transparent()) << "the box's setting wins";
  EXPECT_TRUE(box.Opaque());
  EXPECT_GE(repaints, 1);

  for (const char* file : {"ico/pil-hopper.ico", "metafile/pil-drawing.wmf"}) {
    const int before = repaints;
    box.Picture().OpenPictureFile(Corpus(file));
    EXPECT_TRUE(box.Picture().HeldGraphic()->Transparent()) << file;
    EXPECT_FALSE(box.Opaque()) << file;
    EXPECT_EQ(repaints, before + 1) << file;
  }
  box.Picture().AssignFrom(nullptr);
  EXPECT_FALSE(box.Opaque());

  // Progress reaches nothing on screen.
  box.Picture().OpenPictureFile(Corpus("bmp/bmpsuite-g-rgb24.bmp"));
  const int before = repaints;
  box.Picture().HeldGraphic()->NotifyProgress(box.Picture().HeldGraphic(), psRunning, 50, true,
                                              TRect{0, 0, 1, 1}, "");
  EXPECT_EQ(repaints, before);
  const QImage drawn = Render(20, 10, kBackground, [&](TCanvas& canvas) {
    box.Paint(canvas, TRect{0, 0, 20, 10}, 0xFF00FF00u);
  });
  EXPECT_NE(drawn.pixel(19, 9), kBackground);
  EXPECT_NE(drawn.pixel(19, 9), 0xFF00FF00u);

  // An opaque box whose picture draws nothing covers its area with the
  // background it is given; a transparent one leaves what lies behind.
  const auto painted = [&box] {
    return Render(8, 8, kBackground, [&box](TCanvas& canvas) {
      box.Paint(canvas, TRect{0, 0, 8, 8}, 0xFF00FF00u);
    });
  };
  TBitmap empty;
  box.Picture().AssignFrom(&empty);
  ASSERT_TRUE(box.Opaque());
  EXPECT_EQ(painted().pixel(4, 4), 0xFF00FF00u);
  box.Picture().AssignFrom(nullptr);
  EXPECT_EQ(painted().pixel(4, 4), kBackground);
}

}  // namespace
}  // namespace qv
