// Where the strict reading stops: the character, why, and the bytes by then.
#include "conversion/text_forms/strict_hex_stop.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

TEST(StrictHexStop, NamesTheCharacterThatStoppedTheReading) {
  struct TCase {
    std::string text;
    bool stopped;
    int64_t offset;
    int64_t bytes;
    THexStopCause cause;
    char32_t character;
  } cases[] = {
      {"FFD8", false, 0, 2, THexStopCause::None, 0},
      {"", false, 0, 0, THexStopCause::None, 0},
      // The box starts with a line break and a valid run is pasted after it.
      {"\r\nFFD8", true, 0, 0, THexStopCause::LineBreak, U'\r'},
      {"FFD8 FFE0", true, 4, 2, THexStopCause::Blank, U' '},
      // The pair's first character is a digit: the second stops it.
      {"FFD8F FE0", true, 5, 2, THexStopCause::Blank, U' '},
      {"FF\tD8", true, 2, 1, THexStopCause::Tab, U'\t'},
      {"0xFFD8", true, 1, 0, THexStopCause::ZeroXPrefix, U'x'},
      {"FFD8G0", true, 4, 2, THexStopCause::NotHexDigit, U'G'},
      {std::string("FF\0D8", 5), true, 2, 1, THexStopCause::Control, 0},
      {"FFD8\xE3\x80\x80"
       "FF",
       true, 4, 2, THexStopCause::NonAscii, U'\u3000'},
      {"FFD8\xFF"
       "F",
       true, 4, 2, THexStopCause::NonAscii, 0xFFFD},
      // Every pair read, one digit left over.
      {"FFD", true, 2, 1, THexStopCause::LoneLastDigit, U'D'},
      // An odd text ending in a line break: the pairs are all read, the break is not.
      {"FFD8\n", true, 4, 2, THexStopCause::LineBreak, U'\n'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    const TStrictHexStop stop = FindStrictHexStop(c.text);
    EXPECT_EQ(stop.Length, static_cast<int64_t>(c.text.size()));
    EXPECT_EQ(stop.Stopped, c.stopped);
    EXPECT_EQ(stop.Bytes, c.bytes);
    EXPECT_EQ(stop.Cause, c.cause);
    if (c.stopped) {
      EXPECT_EQ(stop.Offset, c.offset);
      EXPECT_EQ(stop.Character, c.character);
    }
  }
}

// Far into a long text, past the pieces the codec is given at a time.
TEST(StrictHexStop, FindsAStopFarIntoTheText) {
  for (const size_t at : {size_t{131071}, size_t{131072}, size_t{131073}, size_t{5000001}}) {
    std::string text(6000000, 'A');
    text[at] = ' ';
    const TStrictHexStop stop = FindStrictHexStop(text);
    EXPECT_TRUE(stop.Stopped);
    EXPECT_EQ(stop.Offset, static_cast<int64_t>(at));
    EXPECT_EQ(stop.Bytes, static_cast<int64_t>(at / 2));

    // Reading the bytes stops at the same place and keeps the pairs before it.
    std::string bytes;
    const TStrictHexStop read = ReadStrictHex(text, bytes);
    EXPECT_EQ(read.Offset, stop.Offset);
    ASSERT_EQ(bytes.size(), at / 2);
    EXPECT_EQ(bytes.find_first_not_of('\xAA'), std::string::npos);
  }
}

TEST(StrictHexStop, ReadsTheBytesBeforeTheStop) {
  struct TCase {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"ffD8e0", "\xFF\xD8\xE0"},
      {"FFD", "\xFF"},        // the lone last digit is left out
      {"FF D8", "\xFF"},      // not the zeros a restore fills in after the stop
      {"\r\nFFD8", ""},       // the box's first line break
      {"F\xE4\xB8\x80", ""},  // a digit and a Chinese character
  };
  for (const TCase& c : cases) {
    std::string bytes = "left over";
    ReadStrictHex(c.text, bytes);
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

}  // namespace
}  // namespace qv
