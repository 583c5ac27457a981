// How quorvane-hex describes where and why hex text stops decoding.
#include <gtest/gtest.h>

#include <string>

#include "tools/hex_report.h"

namespace qv {
namespace {

TEST(HexReport, StopsAreDescribedWithEscapes) {
  struct Case {
    std::string text;
    int64_t pairs;
    int64_t offset;
    std::string reason;
    std::string run;
  };
  const Case cases[] = {
      {"FFD8", 2, 0, "", ""},
      {"FFD8\r\nFF", 2, 4, "a line break", "\\r\\n"},
      {"F\nD8", 0, 1, "a line break", "\\n"},
      {"0xFF", 0, 1, "a 0x prefix", "0x"},
      {"FF 0XD8", 1, 2, "a blank", " "},
      {std::string("AB\0CD", 5), 1, 2, "a NUL character", "\\0"},
      {"ABG1", 1, 2, "a character that is not a hex digit", "G"},
      {"AB\x01\x7F", 1, 2, "a control character", "\\x01\\x7F"},
      {"AB\"\\", 1, 2, "a character that is not a hex digit", "\\\"\\\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const THexStop stop = FindHexStop(c.text);
    EXPECT_EQ(stop.PairsDecoded, c.pairs);
    EXPECT_EQ(stop.Stopped, !c.reason.empty());
    if (!stop.Stopped) continue;
    EXPECT_EQ(stop.Offset, c.offset);
    EXPECT_EQ(stop.Column, c.offset + 1);
    EXPECT_EQ(stop.Reason, c.reason);
    EXPECT_EQ(stop.Run, c.run);
  }
}

}  // namespace
}  // namespace qv
