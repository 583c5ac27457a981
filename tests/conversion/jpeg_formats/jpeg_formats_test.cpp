// The JPEG entries of the format registry and JPEG pictures in containers:
// both extensions in any case, sharing bytes in and out, and the copy errors
// of containers that hold something else.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <fstream>
#include <functional>

#include "base/exceptions.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_registration.h"
#include "graphics/canvas.h"
#include "graphics/picture.h"
#include "graphics/picture_box.h"
#include "graphics/picture_formats.h"
#include "tests/test_support.h"

namespace qv {
namespace {

using testing_support::Corpus;

class JPEGFormatsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_jpeg_formats";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  }
  // As at start-up: the JPEG entries come last.
  void SetUp() override { RegisterJPEGFormats(); }
  void TearDown() override { UnregisterJPEGFormats(); }
};

TEST_F(JPEGFormatsTest, SevenEntriesInOrderAndShutdownRemovesTheJPEGOnes) {
  std::string order;
  for (const TFileFormat& format : PictureFormats().Entries()) {
    order += format.FileExtension + " ";
  }
  EXPECT_EQ(order, "wmf emf ico bmp png jpeg jpg ");
  EXPECT_EQ(PictureFormats().Entries()[5].FormatName, "JPEG Image File");
  EXPECT_EQ(PictureFormats().Entries()[6].PictureClass, &GraphicClassOf<TJPEGImage>());
  UnregisterJPEGFormats();
  EXPECT_EQ(PictureFormats().Entries().size(), 5u);
  EXPECT_EQ(PictureFormats().FindByExtension("jpg"), nullptr);
  RegisterJPEGFormats();
}

TEST_F(JPEGFormatsTest, BothExtensionsLoadInAnyCase) {
  QTemporaryDir dir;
  std::ifstream in(Corpus("jpeg/good/ljt-testorig.jpg"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "d.JPEG", "e.Jpg"}) {
    const std::string path = dir.path().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    TPicture picture;
    picture.OpenPictureFile(path);
    ASSERT_NE(picture.HeldGraphic(), nullptr) << name;
    EXPECT_STREQ(picture.HeldGraphic()->ClassName(), "TJPEGImage") << name;
    EXPECT_EQ(picture.Width(), 227) << name;
    EXPECT_EQ(picture.Height(), 149) << name;
  }
  TPicture picture;
  try {
    picture.OpenPictureFile(Corpus("jpeg/bad/pngsuite-png-named-jpg.jpg"));
    FAIL() << "loaded";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #53");
  }
  EXPECT_EQ(picture.HeldGraphic(), nullptr);
}

TEST_F(JPEGFormatsTest, JPEGPicturesShareTheirBytesInAndOutOfContainers) {
  TPicture preview;
  preview.OpenPictureFile(Corpus("jpeg/good/ljt-testorig.jpg"));
  auto& held = dynamic_cast<TJPEGImage&>(*preview.HeldGraphic());
  TJPEGImage worker_copy;
  worker_copy.AssignFrom(&preview);  // asks the container to AssignInto the picture
  EXPECT_EQ(&worker_copy.SharedData(), &held.SharedData()) << "bytes shared, not copied";
  EXPECT_FALSE(worker_copy.HasBitmap());
  EXPECT_FALSE(held.HasBitmap()) << "nothing decoded";

  TPicture restored;
  restored.AssignFrom(&worker_copy);
  auto& restored_jpeg = dynamic_cast<TJPEGImage&>(*restored.HeldGraphic());
  EXPECT_NE(&restored_jpeg, &worker_copy);
  EXPECT_EQ(&restored_jpeg.SharedData(), &held.SharedData());
  EXPECT_EQ(held.SharedData().ShareCount(), 3);
}

TEST_F(JPEGFormatsTest, ContainersHoldingOtherPicturesCannotBeHandedToAJPEGPicture) {
  const auto hand_over = [](TPicture& picture) -> std::string {
    TJPEGImage target;
    try {
      target.AssignFrom(&picture);
      return "ok";
    } catch (const EConvertError& e) {
      EXPECT_TRUE(target.IsEmpty()) << "the target is unchanged";
      return e.Message();
    }
  };
  TPicture picture;
  EXPECT_EQ(hand_over(picture), "Cannot assign a TPicture to a TJPEGImage") << "empty";
  for (const char* file : {"bmp/own-empty.bmp", "bmp/bmpsuite-g-rgb24.bmp", "ico/pil-hopper.ico",
                           "metafile/pil-drawing.wmf", "png/pngsuite-basn2c08.png"}) {
    picture.OpenPictureFile(Corpus(file));
    EXPECT_EQ(hand_over(picture), "Cannot assign a TPicture to a TJPEGImage") << file;
    EXPECT_NE(picture.HeldGraphic(), nullptr) << file;
  }
}

TEST_F(JPEGFormatsTest, AJPEGPictureFillsTheBoxStretched) {
  TPictureBox box;
  box.Picture().OpenPictureFile(Corpus("jpeg/good/ljt-testorig.jpg"));
  EXPECT_TRUE(box.Opaque());
  QImage image(300, 100, QImage::Format_RGB32);
  image.fill(0xFF00FF00u);
  QPainter painter(&image);
  TCanvas canvas(painter);
  box.Paint(canvas, TRect{0, 0, 300, 100}, 0xFF0000FFu);
  painter.end();
  const TBitmap& decoded = dynamic_cast<TJPEGImage&>(*box.Picture().HeldGraphic()).DecodedBitmap();
  // Nearest-neighbour stretching: the corners are the decoded corners.
  EXPECT_EQ(image.pixel(0, 0), decoded.Image().pixel(0, 0) | 0xFF000000u);
  EXPECT_EQ(image.pixel(299, 99), decoded.Image().pixel(226, 148) | 0xFF000000u);
}

TEST_F(JPEGFormatsTest, AJPEGPictureThatDrawsNothingShowsTheBackgroundNotTheOldPicture) {
  constexpr QRgb kOldPicture = 0xFF00FF00u;
  constexpr QRgb kBackground = 0xFF123456u;
  const struct {
    const char* name;
    std::function<void(TPicture&)> load;
    bool fails;  // the first paint raises the decode's error
  } cases[] = {
      {"no quantisation tables",
       [](TPicture& p) { p.OpenPictureFile(Corpus("jpeg/bad/ljt-testorig-no-dqt.jpg")); }, true},
      {"empty file", [](TPicture& p) { p.OpenPictureFile(Corpus("jpeg/bad/jdec-empty.jpg")); },
       true},
      {"picture without bytes",
       [](TPicture& p) {
         TJPEGImage none;
         p.AssignFrom(&none);
       },
       false},
  };
  for (const auto& c : cases) {
    TPictureBox box;
    c.load(box.Picture());
    ASSERT_NE(box.Picture().HeldGraphic(), nullptr) << c.name;
    EXPECT_TRUE(box.Opaque()) << c.name;
    // The surface still shows what the box drew before; every paint, the
    // first (which decodes and may fail) and the later ones, covers it.
    QImage image(40, 30, QImage::Format_RGB32);
    for (int paint = 0; paint < 2; ++paint) {
      image.fill(kOldPicture);
      QPainter painter(&image);
      TCanvas canvas(painter);
      bool failed = false;
      try {
        box.Paint(canvas, TRect{0, 0, 40, 30}, kBackground);
      } catch (const Exception&) {
        failed = true;
      }
      painter.end();
      EXPECT_EQ(failed, c.fails && paint == 0) << c.name << ", paint " << paint;
      for (int y : {0, 15, 29})
        for (int x : {0, 20, 39})
          EXPECT_EQ(image.pixel(x, y), kBackground) << c.name << ", paint " << paint;
    }
  }
}

}  // namespace
}  // namespace qv
