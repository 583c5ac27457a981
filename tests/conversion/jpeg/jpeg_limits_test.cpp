// Resource limits of the JPEG picture: a few hundred bytes may declare
// 65500 x 65500 pixels in any coding (baseline, arithmetic, progressive) and
// must be refused before anything of that size is allocated; a file with more
// scans than any encoder writes is refused instead of decoded scan after scan.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <jerror.h>

#include "base/exceptions.h"
#include "conversion/jpeg_codec.h"
#include "conversion/jpeg_image.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace testing_jpeg;

// Sets the frame header's height and width (the first SOFn marker) of `jpeg`.
std::string WithFrameSize(std::string jpeg, int width, int height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (static_cast<unsigned char>(jpeg[i]) != 0xFF) continue;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (!frame) continue;
    jpeg[i + 5] = static_cast<char>(height >> 8);
    jpeg[i + 6] = static_cast<char>(height);
    jpeg[i + 7] = static_cast<char>(width >> 8);
    jpeg[i + 8] = static_cast<char>(width);
    return jpeg;
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

std::string Jpegtran(const std::string& options, const std::string& input) {
  return Capture("jpegtran " + options + " '" + input + "'");
}

// `jpeg` with its last scan sent `extra` more times. A repeated scan breaks the
// progression, which libjpeg only warns about: it decodes every one of them.
std::string WithRepeatedLastScan(const std::string& jpeg, int extra) {
  const size_t last = jpeg.rfind("\xFF\xDA");
  EXPECT_NE(last, std::string::npos);
  EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
  const std::string scan = jpeg.substr(last, jpeg.size() - 2 - last);
  std::string out = jpeg.substr(0, jpeg.size() - 2);
  for (int i = 0; i < extra; ++i) out += scan;
  return out + "\xFF\xD9";
}

class JpegLimits : public ::testing::Test {};

TEST_F(JpegLimits, HugeFramesOfEveryCodingAreRefusedAtTheFirstDraw) {
  const std::string source = CorpusFile("good/ljt-testorig.jpg");
  const struct {
    const char* coding;
    std::string bytes;
  } cases[] = {
      {"baseline", ReadAll(source)},
      {"arithmetic", Jpegtran("-arithmetic", source)},
      {"progressive", Jpegtran("-progressive", source)},
      {"progressive arithmetic", Jpegtran("-progressive -arithmetic", source)},
  };
  SettingsGuard settings;
  for (const auto& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.coding;
    TJPEGImage picture;
    LoadBytes(picture, WithFrameSize(c.bytes, 65500, 65500));
    EXPECT_EQ(picture.Width(), 65500) << c.coding;
    EXPECT_EQ(JpegErrorOf([&] { picture.DecodedBitmap(); }), -1)
        << c.coding << ": the bitmap is over the budget";
    if (std::string(c.coding).find("progressive") == std::string::npos) continue;
    // At an eighth the bitmap fits, but the whole-image coefficients do not.
    DefaultJPEGSettings.DecodeScale = 3;
    TJPEGImage eighth;
    LoadBytes(eighth, WithFrameSize(c.bytes, 65500, 65500));
    EXPECT_EQ(JpegErrorOf([&] { eighth.DecodedBitmap(); }), JERR_NO_BACKING_STORE) << c.coding;
    DefaultJPEGSettings.DecodeScale = 0;
  }
}

TEST_F(JpegLimits, MoreScansThanTheLimitAreRefused) {
  // jpegtran's progressive colour script has 10 scans.
  const std::string progressive = Jpegtran("-progressive", CorpusFile("good/ljt-testorig.jpg"));
  ASSERT_FALSE(progressive.empty());
  static_assert(jpeg::kMaxScans >= 200 && jpeg::kMaxScans < 300);
  TJPEGImage within;
  LoadBytes(within, WithRepeatedLastScan(progressive, 190));
  EXPECT_EQ(JpegErrorOf([&] { within.DecodedBitmap(); }), 0);
  EXPECT_EQ(within.DecodedBitmap().Width(), within.Width());

  TJPEGImage refused;
  LoadBytes(refused, WithRepeatedLastScan(progressive, 290));
  EXPECT_EQ(JpegErrorOf([&] { refused.DecodedBitmap(); }), JERR_BAD_PROGRESSION);
}

}  // namespace
}  // namespace qv
