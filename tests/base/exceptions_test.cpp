#include "base/exceptions.h"

#include <gtest/gtest.h>

#include "base/format.h"

namespace qv {
namespace {

TEST(Exceptions, ClassNamesAndBaseChain) {
  EJPEG jpeg(Format("JPEG error #%d", 53));
  EXPECT_STREQ(jpeg.ClassName(), "EJPEG");
  EXPECT_EQ(jpeg.Message(), "JPEG error #53");
  EXPECT_TRUE(jpeg.InheritsFrom("EJPEG"));
  EXPECT_TRUE(jpeg.InheritsFrom("EInvalidGraphic"));
  EXPECT_TRUE(jpeg.InheritsFrom("Exception"));
  EXPECT_FALSE(jpeg.InheritsFrom("EAbort"));
  EXPECT_FALSE(jpeg.InheritsFrom("EInvalid"));

  const Exception& base = EAbort("");
  EXPECT_STREQ(base.ClassName(), "EAbort");
  EXPECT_TRUE(base.InheritsFrom("EAbort"));
  EXPECT_FALSE(EOutOfMemory(kOutOfMemoryText).InheritsFrom("EAbort"));
}

TEST(Exceptions, CaughtAsBaseKeepsMessageAndRaisePlace) {
  try {
    RaiseOutOfMemory();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EOutOfMemory");
    EXPECT_EQ(e.Message(), "Out of memory");
    EXPECT_NE(e.RaiseAddress(), nullptr);
  }
}

TEST(Format, FillsSystemTexts) {
  EXPECT_EQ(Format(kCannotAssignText, "TPicture", "TJPEGImage"),
            "Cannot assign a TPicture to a TJPEGImage");
  EXPECT_EQ(
      Format("CheckSynchronize called from thread $%x, which is NOT the main thread", 0x1a2bu),
      "CheckSynchronize called from thread $1a2b, which is NOT the main thread");
  EXPECT_EQ(Format("%s", ""), "");
  EXPECT_EQ(Format("%s", std::string(5000, 'x').c_str()).size(), 5000u);
}

}  // namespace
}  // namespace qv
