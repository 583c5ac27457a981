// Every bmp, ico, png and metafile file of the corpus: the bad ones fail with
// their class's error, the others load and draw; decoded pixels agree with
// Qt's own reader where both read the same file.
#include <QDir>
#include <map>

#include "graphics/bitmap.h"
#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"
#include "graphics/picture.h"
#include "graphics/png_picture.h"
#include "pictures_test_support.h"

namespace qv {
namespace {

using testing::Corpus;
using testing::PictureTest;

constexpr const char* kBitmapInvalid = "EInvalidGraphic: Bitmap image is not valid";
constexpr const char* kIconInvalid = "EInvalidGraphic: Icon image is not valid";
constexpr const char* kMetafileInvalid = "EInvalidGraphic: Metafile is not valid";
constexpr const char* kReadError = "EReadError: Stream read error";
constexpr const char* kPngRefused = "EPNGError: Invalid operation in GDI+ (Code: 4)";

// Files that must fail, with the error they give; every other file must load.
const std::map<std::string, std::string>& ExpectedFailures() {
  static const std::map<std::string, std::string> failures = {
      {"bmp/bmpsuite-b-badbitcount.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-b-badheadersize.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-b-badpalettesize.bmp", kReadError},
      {"bmp/bmpsuite-b-badplanes.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-b-badwidth.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-b-reallybig.bmp", kReadError},
      {"bmp/bmpsuite-b-rletopdown.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-b-shortfile.bmp", kReadError},
      {"bmp/bmpsuite-q-pal2.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-pal8os2v2-16.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-pal8oversizepal.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-rgb24jpeg.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-rgb24png.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-rgb32h52.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-rgba32abf.bmp", kBitmapInvalid},
      {"bmp/bmpsuite-q-rgba32h56.bmp", kBitmapInvalid},
      {"bmp/irs-Bad_clrsUsed.bmp", kReadError},
      {"bmp/irs-Bad_height.bmp", kReadError},
      {"bmp/irs-Bad_width.bmp", kReadError},
      {"bmp/irs-rgb24rle24.bmp", kBitmapInvalid},
      {"ico/irs-Bad_smile-incorrect-image-length.ico", kIconInvalid},
      {"ico/own-empty.ico", kReadError},
      {"ico/pil-decompression_bomb.ico", kIconInvalid},
      {"ico/pil-deerstalker-cur-named.ico", kIconInvalid},
      {"ico/pil-no-cursors-cur-named.ico", kIconInvalid},
      {"metafile/libemf2svg-bad_corrupted_2014-12-02-215338.emf", kMetafileInvalid},
      {"metafile/libemf2svg-bad_corrupted_2014-12-02-215400.emf", kMetafileInvalid},
      {"metafile/libemf2svg-bad_corrupted_2014-12-14-080539.emf", kMetafileInvalid},
      {"metafile/pil-drawing-badchecksum.wmf", kMetafileInvalid},
      {"metafile/pil-drawing-emf-first100.emf", kMetafileInvalid},
      {"metafile/pil-drawing-nonplaceable.wmf", kMetafileInvalid},
  };
  return failures;
}

std::vector<std::string> CorpusFiles(const char* folder) {
  std::vector<std::string> files;
  const QStringList names =
      QDir(QString::fromStdString(Corpus(folder))).entryList(QDir::Files, QDir::Name);
  for (const QString& name : names) files.push_back(std::string(folder) + "/" + name.toStdString());
  return files;
}

TEST_F(PictureTest, EveryCorpusFileLoadsOrFailsWithItsClassError) {
  int loaded = 0, failed = 0;
  for (const char* folder : {"bmp", "ico", "png", "metafile"}) {
    for (const std::string& file : CorpusFiles(folder)) {
      const auto listed = ExpectedFailures().find(file);
      std::string expected = listed == ExpectedFailures().end() ? "ok" : listed->second;
      // PngSuite's corrupted files all begin with x.
      if (file.find("png/pngsuite-x") == 0) expected = kPngRefused;
      TPicture picture;
      std::string outcome = "ok";
      try {
        picture.OpenPictureFile(Corpus(file));
      } catch (const Exception& e) {
        outcome = std::string(e.ClassName()) + ": " + e.Message();
      }
      EXPECT_EQ(outcome, expected) << file;
      if (outcome != "ok") {
        EXPECT_EQ(picture.HeldGraphic(), nullptr);
        ++failed;
        continue;
      }
      ++loaded;
      // Drawing never fails and stays inside the box.
      const QImage box = testing::Render(40, 30, 0xFF0000FFu, [&](TCanvas& canvas) {
        picture.HeldGraphic()->DrawInto(canvas, TRect{0, 0, 40, 30});
      });
      EXPECT_EQ(box.size(), QSize(40, 30));
    }
  }
  EXPECT_EQ(loaded + failed, 71 + 22 + 48 + 18);
}

TEST_F(PictureTest, PngErrorIsAClassOfItsOwn) {
  TPicture picture;
  try {
    picture.OpenPictureFile(Corpus("png/pngsuite-xd0n2c08.png"));
    FAIL() << "loaded";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.InheritsFrom("Exception"));
    EXPECT_FALSE(e.InheritsFrom("EInvalidGraphic")) << "the PNG error is a class of its own";
    EXPECT_STREQ(e.ClassName(), "EPNGError");
  }
}

TEST_F(PictureTest, GoodBitmapsDecodeLikeQtsReader) {
  int compared = 0;
  for (const std::string& file : CorpusFiles("bmp")) {
    if (file.find("-g-") == std::string::npos) continue;
    TBitmap bitmap;
    bitmap.ReadFromFile(Corpus(file));
    const QImage qt = QImage(Corpus(file).c_str()).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(qt.isNull()) << file;
    ASSERT_EQ(bitmap.Width(), qt.width()) << file;
    ASSERT_EQ(bitmap.Height(), qt.height()) << file;
    const QImage ours = bitmap.Image().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < qt.height(); y += 7)
      for (int x = 0; x < qt.width(); x += 5) ASSERT_EQ(ours.pixel(x, y), qt.pixel(x, y)) << file;
    ++compared;
  }
  EXPECT_EQ(compared, 23);
}

TEST_F(PictureTest, GoodPngsDecodeLikeQtsReader) {
  for (const std::string& file : CorpusFiles("png")) {
    if (file.find("/pngsuite-x") != std::string::npos) continue;
    TPNGPicture png;
    png.ReadFromFile(Corpus(file));
    const QImage qt(Corpus(file).c_str());
    EXPECT_EQ(png.Image(), qt) << file;
    // What was read is written back unchanged.
    TMemoryStream written;
    png.WriteToStream(written);
    const std::vector<uint8_t> bytes = testing::ReadAll(Corpus(file));
    ASSERT_EQ(written.Size(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(std::memcmp(written.Memory(), bytes.data(), bytes.size()), 0);
  }
}

TEST_F(PictureTest, IconsPickTheImageNearestTheStandardSize) {
  const struct {
    const char* file;
    int width, height;
  } cases[] = {
      {"ico/gdip-test.ico", 48, 48},  // 256 and 48: 48 is nearer 32
      {"ico/pil-python.ico", 32, 32},
      {"ico/irs-multiple_entries_with_different_bit_depth.ico", 32, 32},
      {"ico/pil-hopper_256x256.ico", 256, 256},
      {"ico/pil-hopper_unexpected.ico", 16, 16},  // the image's own header wins over the directory
      {"ico/irs-png-32bpp-alpha.ico", 32, 32},
  };
  for (const auto& c : cases) {
    TIcon icon;
    icon.ReadFromFile(Corpus(c.file));
    EXPECT_EQ(icon.Width(), c.width) << c.file;
    EXPECT_EQ(icon.Height(), c.height) << c.file;
  }
  // Of the multi-depth file, the 32-bit 32x32 image shows: its alpha survives.
  TIcon icon;
  icon.ReadFromFile(Corpus("ico/irs-multiple_entries_with_different_bit_depth.ico"));
  bool partial_alpha = false;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int a = qAlpha(icon.Image().pixel(x, y));
      partial_alpha = partial_alpha || (a > 0 && a < 255);
    }
  EXPECT_TRUE(partial_alpha);
}

TEST_F(PictureTest, IconMasksMakePixelsTransparent) {
  // A 1-bit icon: the AND mask decides what shows.
  TIcon icon;
  icon.ReadFromFile(Corpus("ico/pil-hopper_mask.ico"));
  int clear = 0, solid = 0;
  for (int y = 0; y < icon.Height(); ++y)
    for (int x = 0; x < icon.Width(); ++x)
      (qAlpha(icon.Image().pixel(x, y)) == 0 ? clear : solid)++;
  EXPECT_GT(clear, 0);
  EXPECT_GT(solid, 0);
}

TEST_F(PictureTest, MetafilesDrawTheirRecords) {
  // pil-drawing: a red disc on a white field, the same in both kinds.
  for (const char* file : {"metafile/pil-drawing.emf", "metafile/pil-drawing-wmf-named.emf"}) {
    TMetafile metafile;
    metafile.ReadFromFile(Corpus(file));
    const QImage box = testing::Render(101, 101, 0xFF00FF00u, [&](TCanvas& canvas) {
      metafile.DrawInto(canvas, TRect{0, 0, 101, 101});
    });
    EXPECT_EQ(box.pixel(60, 60), qRgb(255, 0, 0)) << file;
    EXPECT_EQ(box.pixel(100, 50), qRgb(0, 255, 0)) << file << ": the last column is not drawn";
  }
  // The grid's lines are black on white.
  TMetafile grid;
  grid.ReadFromFile(Corpus("metafile/dtformats-grid.wmf"));
  const QImage box = testing::Render(94, 94, 0xFF00FF00u, [&](TCanvas& canvas) {
    grid.DrawInto(canvas, TRect{0, 0, 95, 95});
  });
  std::map<QRgb, int> colours;
  for (int y = 0; y < 94; ++y)
    for (int x = 0; x < 94; ++x) colours[box.pixel(x, y)]++;
  EXPECT_GT(colours[qRgb(0, 0, 0)], 500);
  EXPECT_GT(colours[qRgb(255, 255, 255)], 2000);
}

}  // namespace
}  // namespace qv
