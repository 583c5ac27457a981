// Resource limits of the JPEG picture: a few hundred bytes may declare
// 65500 x 65500 pixels in any coding (baseline, arithmetic, progressive) and
// must be refused before anything of that size is allocated; a file with more
// scans than any encoder writes is refused instead of decoded scan after scan.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    // At an eighth the bitmap fits, but the whole-image coefficients (at full
    // size, 12.9 GB) do not: refused before libjpeg allocates them.
    DefaultJPEGSettings.DecodeScale = 3;
    TJPEGImage eighth;
    LoadBytes(eighth, WithFrameSize(c.bytes, 65500, 65500));
    EXPECT_EQ(JpegErrorOf([&] { eighth.DecodedBitmap(); }), -1) << c.coding;
    DefaultJPEGSettings.DecodeScale = 0;
  }
}

// A black 2000 x 2000 picture made by cjpeg with `options`.
std::string BlackJpeg(const std::string& options) {
  return Capture("{ printf 'P6\\n2000 2000\\n255\\n'; head -c 12000000 /dev/zero; } | cjpeg " +
                 options);
}

// Decodes `bytes` with libjpeg's memory capped at `cap` (quantised to 236
// colours when `quantize`), or at the estimate when `cap` is 0; returns the
// library's error code (0: none) and the estimate.
int DecodeWithCap(const std::string& bytes, bool quantize, long cap, int64_t& estimate) {
  try {
    jpeg::TDecoder decoder(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nullptr);
    jpeg_decompress_struct& d = decoder.Info();
    std::vector<JSAMPLE> row;
    decoder.Run([&] {
      jpeg_read_header(&d, TRUE);
      d.quantize_colors = quantize ? TRUE : FALSE;
      d.desired_number_of_colors = 236;
      jpeg_calc_output_dimensions(&d);
      estimate = jpeg::DecodeBufferBytes(d);
    });
    d.mem->max_memory_to_use = cap != 0 ? cap : static_cast<long>(estimate);
    row.resize(static_cast<size_t>(d.output_width) * 3);
    decoder.Run([&] {
      jpeg_start_decompress(&d);
      JSAMPROW rows[1] = {row.data()};
      while (d.output_scanline < d.output_height) jpeg_read_scanlines(&d, rows, 1);
      jpeg_finish_decompress(&d);
    });
  } catch (const Exception& e) {
    int code = -1;
    std::sscanf(e.Message().c_str(), "JPEG error #%d", &code);
    return code;
  }
  return 0;
}

TEST_F(JpegLimits, TheBufferEstimateCoversWhatLibjpegTakesAndLittleMore) {
  // Whole-image buffers: coefficients of several scans (4:4:4 and 4:2:0), and
  // the two-pass quantiser's copy of the output.
  const struct {
    const char* what;
    std::string bytes;
    bool quantize;
  } cases[] = {{"progressive 4:4:4", BlackJpeg("-progressive -sample 1x1"), false},
               {"progressive 4:2:0", BlackJpeg("-progressive"), false},
               {"baseline, quantised in two passes", BlackJpeg(""), true}};
  for (const auto& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.what;
    int64_t estimate = 0;
    EXPECT_EQ(DecodeWithCap(c.bytes, c.quantize, 0, estimate), 0) << c.what;
    EXPECT_GT(estimate, int64_t{2000} * 2000) << c.what;
    // Half the estimate is too little: it is no wild overstatement.
    int64_t ignored = 0;
    EXPECT_EQ(DecodeWithCap(c.bytes, c.quantize, static_cast<long>(estimate / 2), ignored),
              JERR_NO_BACKING_STORE)
        << c.what;
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
