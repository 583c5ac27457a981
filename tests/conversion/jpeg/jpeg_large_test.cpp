// Pictures of real photo sizes, made by cjpeg while the test runs: the budget
// follows the memory the process can have, so they decode, while a small
// address-space limit refuses them with "Out of memory". Too slow for the
// sanitizer builds (label "large").
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/platform.h"
#include "conversion/jpeg_image.h"
#include "graphics/picture_budget.h"
#include "jpeg_test_support.h"

namespace qv {
namespace {

using namespace testing_jpeg;

constexpr uint8_t kLeft[3] = {200, 60, 30};
constexpr uint8_t kRight[3] = {40, 90, 210};

// cjpeg's JPEG (with `options`) of a picture whose left half is kLeft and right
// half kRight: flat colour compresses to a little over a bit per block.
std::string TwoColourJpeg(int width, int height, const std::string& options) {
  char path[] = "/tmp/quorvane-large-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  close(fd);
  FILE* cjpeg = popen(("cjpeg " + options + " > " + path).c_str(), "w");
  if (cjpeg == nullptr) return {};
  std::fprintf(cjpeg, "P6\n%d %d\n255\n", width, height);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x)
    for (int c = 0; c < 3; ++c)
      row[static_cast<size_t>(x) * 3 + c] = x < width / 2 ? kLeft[c] : kRight[c];
  for (int y = 0; y < height; ++y) std::fwrite(row.data(), 1, row.size(), cjpeg);
  const int status = pclose(cjpeg);
  std::string bytes = status == 0 ? ReadAll(path) : std::string();
  std::remove(path);
  return bytes;
}

bool Near(const uint8_t* bgr, const uint8_t rgb[3]) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(bgr[2 - c] - rgb[c]) > 3) return false;
  return true;
}

TEST(LargePictures, PhotoSizesDecodeWithinTheBudget) {
  // 96 megapixels baseline (288 MB of pixels), and progressive 4:4:4, whose
  // whole-image coefficients take twice its pixels again.
  const struct {
    int width, height;
    const char* options;
  } cases[] = {{12000, 8000, "-quality 90"}, {7000, 7000, "-quality 90 -progressive -sample 1x1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.options);
    const std::string bytes = TwoColourJpeg(c.width, c.height, c.options);
    ASSERT_FALSE(bytes.empty());
    TJPEGImage picture;
    LoadBytes(picture, bytes);
    const TBitmap& bitmap = picture.DecodedBitmap();
    ASSERT_EQ(bitmap.Width(), c.width);
    ASSERT_EQ(bitmap.Height(), c.height);
    EXPECT_TRUE(Near(bitmap.ScanLine(0), kLeft));
    EXPECT_TRUE(Near(bitmap.ScanLine(c.height / 2) + 3 * (c.width / 2 - 8), kLeft));
    EXPECT_TRUE(Near(bitmap.ScanLine(c.height / 2) + 3 * (c.width / 2 + 8), kRight));
    EXPECT_TRUE(Near(bitmap.ScanLine(c.height - 1) + 3 * (c.width - 1), kRight));
  }
}

TEST(LargePictures, AnAddressSpaceLimitShrinksTheBudgetAndAPictureOverItFailsCleanly) {
  const std::string bytes = TwoColourJpeg(12000, 8000, "-quality 90");
  ASSERT_FALSE(bytes.empty());
  EXPECT_GE(PictureBudget(), PictureBytes(12000, 8000, 24));
  // 512 MiB left: a budget of 128 MiB, under the picture's 288 MB.
  constexpr uint64_t kRoom = uint64_t{512} << 20;
  const int code = testing_support::InChildWithAddressSpace(kRoom, [&] {
    const uint64_t limit = ProcessMemoryLimit();
    if (limit > kRoom || limit < kRoom - (uint64_t{64} << 20)) return 10;
    if (PictureBudget() != PictureBudgetFor(limit)) return 11;
    TJPEGImage picture;
    LoadBytes(picture, bytes);
    try {
      picture.DecodedBitmap();
      return 12;
    } catch (const EOutOfMemory& e) {
      if (e.Message() != "Out of memory") return 13;
    } catch (...) {
      return 14;
    }
    return picture.DecodedBitmap().IsEmpty() ? 0 : 15;
  });
  EXPECT_EQ(code, 0) << "10: limit, 11: budget, 12: decoded, 13/14: another error, 15: bitmap";
}

}  // namespace
}  // namespace qv
