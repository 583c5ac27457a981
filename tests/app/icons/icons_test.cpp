// The compiled-in icons: present, the right sizes, a 1-bit mask, grey copies
// that match their pictures, the application icon on every window, and the
// Windows program's icon file.
#include <gtest/gtest.h>

#include <vector>

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QSize>

#include "app/app_icons.h"
#include "app/application.h"
#include "app/image_list.h"

namespace qv {
namespace {

QImage Argb(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

bool IsGrey(QRgb pixel) {
  return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

TEST(ToolbarIcons, EightOpaqueSixteenPixelPicturesWithOneBitMasks) {
  const TImageList list;
  ASSERT_EQ(list.Count(), 8);
  for (int i = 0; i < list.Count(); ++i) {
    SCOPED_TRACE(i);
    const QImage image = Argb(list.Image(i));
    ASSERT_EQ(image.size(), QSize(16, 16));
    int opaque = 0, transparent = 0, coloured = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const QRgb pixel = image.pixel(x, y);
        ASSERT_TRUE(qAlpha(pixel) == 0 || qAlpha(pixel) == 255) << x << "," << y;
        if (qAlpha(pixel) == 0) {
          ++transparent;
        } else {
          ++opaque;
          if (!IsGrey(pixel)) ++coloured;
        }
      }
    }
    // A missing resource would give an all-transparent square.
    EXPECT_GT(opaque, 64);
    EXPECT_GT(transparent, 0);
    if (i % 2 == 0) {
      EXPECT_GT(coloured, 16) << "a picture, not a grey copy";
    } else {
      EXPECT_EQ(coloured, 0) << "a grey copy";
    }
  }
}

TEST(ToolbarIcons, GreyCopiesShareTheirPicturesMaskAndThePicturesDiffer) {
  const TImageList list;
  ASSERT_EQ(list.Count(), 8);
  for (int i = 0; i < 8; i += 2) {
    SCOPED_TRACE(i);
    const QImage picture = Argb(list.Image(i));
    const QImage grey = Argb(list.Image(i + 1));
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        ASSERT_EQ(qAlpha(picture.pixel(x, y)), qAlpha(grey.pixel(x, y))) << x << "," << y;
      }
    }
    for (int j = i + 2; j < 8; j += 2) EXPECT_NE(picture, Argb(list.Image(j))) << j;
  }
}

TEST(ApplicationIcon, HasEverySizeAndEveryWindowShowsIt) {
  const QIcon icon = ApplicationIcon();
  for (const int size : {16, 32, 48, 256}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    // The picture sits in the middle of every size: no blank rendering.
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
  }

  const TApplication application("/usr/bin/quorvane");
  EXPECT_TRUE(QApplication::windowIcon().availableSizes().contains(QSize(256, 256)));
  EXPECT_EQ(QGuiApplication::desktopFileName(), QString::fromLatin1(kDesktopFileName));
}

// The Windows program's icon has a picture of its own for each size Windows
// picks at 100, 125 and 150 % scaling, so none is scaled from another.
TEST(WindowsIcon, HasTheSizesOfEveryScaling) {
  QImageReader reader(QStringLiteral(QUORVANE_SOURCE_DIR "/desktop/windows/quorvane.ico"), "ico");
  std::vector<int> sizes;
  for (int i = 0; i < reader.imageCount(); ++i) {
    ASSERT_TRUE(reader.jumpToImage(i));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << i << ": " << reader.errorString().toStdString();
    EXPECT_EQ(image.width(), image.height());
    EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255) << image.width();
    sizes.push_back(image.width());
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 256}));
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  // Test discovery runs without the test's environment: offscreen unless told.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
