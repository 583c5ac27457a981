// Every JPEG of the shared corpus: what loads, what draws, which error each
// bad file raises and what survives it; pixels against djpeg's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/jpeg_image.h"
#include "conversion/picture_hex.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace qv::testing_jpeg;

std::vector<std::string> GoodFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFile("good"))) {
    if (entry.path().extension() == ".jpg") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool FourComponents(const std::string& name) {
  return name.find("cmyk") != std::string::npos || name.find("ycck") != std::string::npos;
}

class GoodJpegTest : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Path() const { return CorpusFile("good/" + GetParam()); }
};

TEST_P(GoodJpegTest, LoadsHeaderOnlyAndWritesTheSameBytes) {
  const std::string bytes = ReadAll(Path());
  TJPEGImage picture;
  int changes = 0;
  picture.OnChange = [&](TPersistent*) { ++changes; };
  picture.ReadFromFile(Path());
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(picture.IsEmpty());
  EXPECT_FALSE(picture.HasBitmap()) << "loading reads only the header";
  const TRgbImage reference = Djpeg(Path(), "");
  EXPECT_EQ(picture.Width(), reference.width);
  EXPECT_EQ(picture.Height(), reference.height);
  // jpeg_has_multiple_scans: progressive files, and baseline files with several scans.
  const bool several_scans = GetParam().find("prog") != std::string::npos ||
                             GetParam().find("3scans") != std::string::npos ||
                             GetParam() == "ljt-testimgp.jpg" ||
                             GetParam() == "jdec-progressive-noninterleaved.jpg";
  EXPECT_EQ(picture.Progressive(), several_scans);
  EXPECT_EQ(Written(picture), bytes);

  std::string text;
  JPEGToHex(picture, text);
  ASSERT_EQ(text.size(), 2 * bytes.size());
  EXPECT_EQ(text.substr(0, 4), "FFD8");
  TJPEGImage back;
  HexToJPEG(text, back);
  EXPECT_EQ(Written(back), bytes);
  EXPECT_EQ(back.Width(), picture.Width());
  EXPECT_FALSE(back.HasBitmap());
}

TEST_P(GoodJpegTest, Decodes24BitLikeDjpeg) {
  SettingsGuard guard;
  DefaultJPEGSettings.OutputDepth = od24Bit;
  TJPEGImage picture;
  picture.ReadFromFile(Path());
  const TBitmap& bitmap = picture.DecodedBitmap();
  const bool gray = Djpeg(Path(), "").channels == 1;
  if (gray) {
    // One-component pictures always come out paletted, with at most 236 grey levels.
    ASSERT_EQ(bitmap.PixelFormat(), pf8bit);
    ASSERT_TRUE(bitmap.Palette());
    EXPECT_LE(bitmap.Palette()->Entries.size(), 236u);
    for (QRgb c : bitmap.Palette()->Entries) {
      EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c));
    }
    EXPECT_TRUE(SamePixels(Djpeg(Path(), "-colors 236"), ToRgb(bitmap)));
  } else if (FourComponents(GetParam())) {
    // CMYK and YCCK arrive as four samples per pixel and are turned into
    // blue, green, red; ImageMagick's conversion of the same file is the reference.
    ASSERT_EQ(bitmap.PixelFormat(), pf24bit);
    TRgbImage reference;
    ASSERT_TRUE(ParsePnm(Capture("convert '" + Path() + "' -colorspace sRGB ppm:- 2>/dev/null"),
                         reference));
    EXPECT_TRUE(SamePixels(reference, ToRgb(bitmap), 2));
  } else {
    ASSERT_EQ(bitmap.PixelFormat(), pf24bit);
    EXPECT_TRUE(SamePixels(Djpeg(Path(), ""), ToRgb(bitmap)));
  }
  EXPECT_EQ(&picture.DecodedBitmap(), &bitmap) << "decoded once, then cached";
}

// Four-component pictures always decode to 24 bits, so this table leaves them out.
class GoodThreeComponentJpegTest : public GoodJpegTest {};

std::vector<std::string> GoodThreeComponentFiles() {
  std::vector<std::string> names;
  for (const std::string& name : GoodFiles())
    if (!FourComponents(name)) names.push_back(name);
  return names;
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(0, info.param.size() - 4);
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

TEST_P(GoodThreeComponentJpegTest, Decodes8BitLikeDjpegWithColors236) {
  SettingsGuard guard;
  DefaultJPEGSettings.OutputDepth = od8Bit;
  TJPEGImage picture;
  picture.ReadFromFile(Path());
  int changes = 0;
  picture.OnChange = [&](TPersistent*) { ++changes; };
  const TBitmap& bitmap = picture.DecodedBitmap();
  ASSERT_EQ(bitmap.PixelFormat(), pf8bit);
  ASSERT_TRUE(bitmap.Palette());
  EXPECT_LE(bitmap.Palette()->Entries.size(), 236u);
  EXPECT_EQ(changes, 1) << "the end of an 8-bit decode notifies a change";
  EXPECT_TRUE(picture.PaletteHandle() == bitmap.Palette());
  EXPECT_TRUE(SamePixels(Djpeg(Path(), "-colors 236"), ToRgb(bitmap)));
}

INSTANTIATE_TEST_SUITE_P(Corpus, GoodJpegTest, ::testing::ValuesIn(GoodFiles()), CaseName);
INSTANTIATE_TEST_SUITE_P(Corpus, GoodThreeComponentJpegTest,
                         ::testing::ValuesIn(GoodThreeComponentFiles()), CaseName);

// What each malformed or unsupported file does: the code raised at load, the
// code raised at the first draw (-1: EOutOfMemory), or 0 for "no error".
struct BadCase {
  const char* name;
  int load_error;
  int draw_error;
};

const BadCase kBadFiles[] = {
    {"jdec-65535x65535.jpg", 41, 0},
    {"jdec-bogus-huffman.jpg", 8, 0},
    {"jdec-cut-after-sof.jpg", 59, 0},
    {"jdec-dc-predictor-overflow.jpg", 0, 0},
    {"jdec-empty.jpg", 0, 42},
    {"jdec-fuzzed-progressive.jpg", 0, 0},
    {"jdec-height-zero.jpg", 32, 0},
    {"jdec-many-ff-before-eoi.jpg", 0, 0},
    {"jdec-missing-sof.jpg", 51, 0},
    {"jdec-partial-progressive.jpg", 0, 0},
    {"jdec-progressive-ac-only.jpg", 0, 0},
    {"jdec-progressive-dc-only.jpg", 0, 0},
    {"jdec-scanner-trailing.jpg", 0, 0},
    {"jdec-soi-eoi-only.jpg", 51, 0},
    {"jpegsuite-dnl.jpg", 32, 0},
    {"jpegsuite-jpegls-sof55.jpg", 68, 0},
    {"jpegsuite-lossless-arith-sof11.jpg", 60, 0},
    {"jpegsuite-lossless-sof3.jpg", 60, 0},
    {"large-pillars-1024x1024-cut.jpg", 0, 0},
    {"ljt-testimgp-first-3-scans.jpg", 0, 0},
    {"ljt-testorig-65500x65500.jpg", 0, -1},
    {"ljt-testorig-cut-before-dht.jpg", 59, 0},
    {"ljt-testorig-cut-in-data.jpg", 0, 0},
    {"ljt-testorig-dup-soi.jpg", 61, 0},
    {"ljt-testorig-no-dht.jpg", 0, 0},
    {"ljt-testorig-no-dqt.jpg", 0, 52},
    {"ljt-testorig-no-eoi.jpg", 0, 0},
    {"ljt-testorig-sof5.jpg", 60, 0},
    {"ljt-testorig-trailing-bytes.jpg", 0, 0},
    {"ljt-testorig12.jpg", 15, 0},
    {"own-single-ff.jpg", 53, 0},
    {"own-soi-only.jpg", 51, 0},
    {"pil-ff00-in-header.jpg", 0, 0},
    {"pil-junk-between-segments.jpg", 0, 0},
    {"pil-mpo-second-image.jpg", 0, 0},
    {"pil-progressive-cut.jpg", 0, 0},
    {"pngsuite-png-named-jpg.jpg", 53, 0},
};

TEST(BadJpegTest, TableCoversTheWholeFolder) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFile("bad"))) {
    files += entry.path().extension() == ".jpg";
  }
  EXPECT_EQ(files, std::size(kBadFiles));
}

class BadJpegTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadJpegTest, FailsCleanlyOrDrawsLikeDjpeg) {
  const BadCase& c = GetParam();
  const std::string path = CorpusFile(std::string("bad/") + c.name);
  const std::string bytes = ReadAll(path);
  for (TJPEGPixelFormat depth : {od24Bit, od8Bit}) {
    SCOPED_TRACE(depth == od8Bit ? "8-bit" : "24-bit");
    SettingsGuard guard;
    DefaultJPEGSettings.OutputDepth = depth;
    TJPEGImage picture;
    int changes = 0;
    picture.OnChange = [&](TPersistent*) { ++changes; };
    ASSERT_EQ(JpegErrorOf([&] { picture.ReadFromFile(path); }), c.load_error);
    // Whatever happened, the picture holds every byte read.
    EXPECT_FALSE(picture.IsEmpty());
    EXPECT_EQ(Written(picture), bytes);
    if (c.load_error != 0) {
      EXPECT_EQ(changes, 0) << "a failed load notifies nothing";
      EXPECT_EQ(picture.Width(), 0);
      EXPECT_EQ(picture.Height(), 0);
      EXPECT_FALSE(picture.HasBitmap());
      continue;
    }
    ASSERT_EQ(JpegErrorOf([&] { picture.DecodedBitmap(); }), c.draw_error);
    if (c.draw_error != 0) {
      // The empty bitmap stays cached: no second decode and no second error.
      EXPECT_EQ(JpegErrorOf([&] { picture.DecodedBitmap(); }), 0);
      EXPECT_TRUE(picture.DecodedBitmap().IsEmpty());
      EXPECT_EQ(picture.Width(), 0);
      EXPECT_EQ(picture.Height(), 0);
      continue;
    }
    const TBitmap& bitmap = picture.DecodedBitmap();
    // With damaged data libjpeg's 24-bit output may differ from djpeg's by a level or two.
    EXPECT_TRUE(SamePixels(Djpeg(path, depth == od8Bit ? "-colors 236" : ""), ToRgb(bitmap),
                           depth == od8Bit ? 0 : 2));
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadJpegTest, ::testing::ValuesIn(kBadFiles), [](const auto& info) {
  std::string name = info.param.name;
  name = name.substr(0, name.size() - 4);
  for (char& ch : name)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

}  // namespace
}  // namespace qv
