// The writer: exact layouts on small inputs, lengths, the streaming form
// against the whole one, and every form read back by the recogniser.
#include "conversion/text_forms/text_form_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "conversion/text_forms/hex_text_recogniser.h"
#include "tests/test_seeds.h"

namespace qv {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
  return bytes;
}

// Small inputs whose text is easy to check by eye.
TEST(TextFormWriter, WritesEachLayoutExactly) {
  const std::string three = Bytes({0xFF, 0xD8, 0x0A});
  TTextFormOptions picture;
  picture.FileName = "1 my-pic.JPG";
  struct TCase {
    TTextForm form;
    std::string text;
  } cases[] = {
      {TTextForm::HexUpper, "FFD80A"},
      {TTextForm::HexLower, "ffd80a"},
      {TTextForm::HexPairs16, "FF D8 0A\n"},
      {TTextForm::HexPairs32, "FF D8 0A\n"},
      {TTextForm::HexList, "  0xff, 0xd8, 0x0a\n"},
      {TTextForm::EscapedHex, "\\xff\\xd8\\x0a"},
      {TTextForm::CArray,
       "unsigned char __1_my_pic_JPG[] = {\n  0xff, 0xd8, 0x0a\n};\n"
       "unsigned int __1_my_pic_JPG_len = 3;\n"},
      {TTextForm::SqlBlob, "X'FFD80A'"},
      {TTextForm::SqlServerBinary, "0xFFD80A"},
      {TTextForm::PostgresBytea, "'\\xffd80a'::bytea"},
      {TTextForm::Base64, "/9gK"},
      {TTextForm::Base64Lines, "/9gK\n"},
      {TTextForm::DataUri, "data:image/jpeg;base64,/9gK"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(TextFormInfo(c.form).Key);
    EXPECT_EQ(WriteTextForm(c.form, three, picture), c.text);
    EXPECT_EQ(TextFormLength(c.form, 3, picture), static_cast<int64_t>(c.text.size()));
  }
}

TEST(TextFormWriter, BreaksLinesWhereTheToolsDo) {
  const std::string bytes = RandomBytes(100, 1);
  // xxd -i: 12 a line, a comma after every line but the last.
  const std::string list = WriteTextForm(TTextForm::HexList, bytes);
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 9);
  EXPECT_EQ(list.substr(0, 74).back(), '\n');
  EXPECT_EQ(list.substr(72, 2), ",\n");
  EXPECT_NE(list.substr(list.size() - 2, 1), ",");
  // base64: 76 symbols a line (57 bytes), the last line ended too.
  const std::string lines = WriteTextForm(TTextForm::Base64Lines, RandomBytes(200, 2));
  EXPECT_EQ(lines.find('\n'), 76u);
  EXPECT_EQ(lines.back(), '\n');
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
  // 16 and 32 pairs a line.
  const std::string pairs = WriteTextForm(TTextForm::HexPairs16, RandomBytes(33, 3));
  EXPECT_EQ(pairs.find('\n'), 47u);
  EXPECT_EQ(std::count(pairs.begin(), pairs.end(), '\n'), 3);
  EXPECT_EQ(WriteTextForm(TTextForm::HexPairs32, RandomBytes(64, 3)).find('\n'), 95u);
}

TEST(TextFormWriter, NoBytesGiveTheFormsEmptyShell) {
  TTextFormOptions named;
  named.FileName = "empty.bin";
  EXPECT_EQ(WriteTextForm(TTextForm::CArray, "", named),
            "unsigned char empty_bin[] = {\n};\nunsigned int empty_bin_len = 0;\n");
  EXPECT_EQ(WriteTextForm(TTextForm::SqlBlob, ""), "X''");
  EXPECT_EQ(WriteTextForm(TTextForm::PostgresBytea, ""), "'\\x'::bytea");
  EXPECT_EQ(WriteTextForm(TTextForm::DataUri, ""), "data:image/jpeg;base64,");
  for (const TTextForm form : {TTextForm::HexUpper, TTextForm::HexPairs16, TTextForm::HexList,
                               TTextForm::Base64, TTextForm::Base64Lines}) {
    EXPECT_EQ(WriteTextForm(form, ""), "") << TextFormInfo(form).Key;
  }
}

TEST(TextFormWriter, NamesTheArrayAsXxdDoes) {
  EXPECT_EQ(CArrayName("photo.jpg"), "photo_jpg");
  EXPECT_EQ(CArrayName("1.jpg"), "__1_jpg");
  EXPECT_EQ(CArrayName("my pic-2.JPEG"), "my_pic_2_JPEG");
  EXPECT_EQ(CArrayName("\xE5\x9B\xBE.jpg"), "____jpg");  // each byte of a UTF-8 letter
  EXPECT_EQ(CArrayName("_x"), "_x");
  EXPECT_EQ(CArrayName(""), "");
}

TEST(TextFormWriter, KeysAreUniqueAndFindTheirForm) {
  for (const TTextForm form : kAllTextForms) {
    TTextForm found{};
    ASSERT_TRUE(TextFormByKey(TextFormInfo(form).Key, found)) << TextFormInfo(form).Key;
    EXPECT_EQ(found, form);
  }
  TTextForm unused{};
  EXPECT_FALSE(TextFormByKey("hexadecimal", unused));
}

// The pieces joined are the whole text, whatever the size around the piece
// and line boundaries.
TEST(TextFormWriter, StreamingGivesTheWholeText) {
  TTextFormOptions named;
  named.FileName = "big.jpg";
  for (const size_t n : {size_t{0}, size_t{1}, size_t{57}, (size_t{1} << 20) - 1,
                         (size_t{1} << 20) + 13, size_t{3} << 20}) {
    const std::string bytes = RandomBytes(n, 4);
    for (const TTextForm form : kAllTextForms) {
      SCOPED_TRACE(std::string(TextFormInfo(form).Key) + " of " + std::to_string(n));
      std::string joined;
      int64_t last_done = -1;
      const TWriteOutcome outcome = WriteTextFormTo(
          form, bytes, named,
          [&](std::string_view piece) {
            joined += piece;
            return true;
          },
          [&](int64_t done, int64_t total) {
            EXPECT_GT(done, last_done);
            EXPECT_EQ(total, static_cast<int64_t>(n));
            last_done = done;
            return true;
          });
      EXPECT_EQ(outcome, TWriteOutcome::Done);
      EXPECT_TRUE(joined == WriteTextForm(form, bytes, named));
      if (n > 0) {
        EXPECT_EQ(last_done, static_cast<int64_t>(n));
      }
    }
  }
}

TEST(TextFormWriter, StreamingStopsWhenTheSinkFailsOrTheCallerCancels) {
  const std::string bytes = RandomBytes(size_t{5} << 20, 5);
  int pieces = 0;
  EXPECT_EQ(
      WriteTextFormTo(TTextForm::CArray, bytes, {}, [&](std::string_view) { return ++pieces < 2; }),
      TWriteOutcome::Stopped);
  EXPECT_EQ(pieces, 2);
  pieces = 0;
  EXPECT_EQ(WriteTextFormTo(
                TTextForm::Base64Lines, bytes, {},
                [&](std::string_view) {
                  ++pieces;
                  return true;
                },
                [](int64_t done, int64_t) { return done < (int64_t{3} << 19); }),
            TWriteOutcome::Cancelled);
  EXPECT_EQ(pieces, 2);
}

// Every form written is read back to the same bytes, at sizes around every
// line length the forms use; the form is named as written where the text
// cannot be taken for another one.
TEST(TextFormWriter, EveryFormReadsBackToTheSameBytes) {
  TTextFormOptions named;
  named.FileName = "photo.jpg";
  for (const uint32_t seed : testing_support::TestSeeds({11, 12})) {
    SCOPED_TRACE(testing_support::AnnounceSeed(seed));
    for (const size_t n :
         {0, 1, 2, 3, 4, 11, 12, 13, 15, 16, 17, 31, 32, 33, 56, 57, 58, 114, 1000, 65537}) {
      const std::string bytes = RandomBytes(n, seed + static_cast<uint32_t>(n));
      for (const TTextForm form : kAllTextForms) {
        SCOPED_TRACE(std::string(TextFormInfo(form).Key) + " of " + std::to_string(n));
        const std::string text = WriteTextForm(form, bytes, named);
        const TRecognition read = RecogniseHexText(text);
        const bool empty_text = text.empty();
        if (empty_text) {
          EXPECT_EQ(read.Refusal, THexTextRefusal::Empty);
          continue;
        }
        // Base64 of a few bytes may be made of hex digits alone ("AAAA"): such a
        // text is hex. From a dozen bytes on, base64 shows its other letters.
        const bool base64 = form == TTextForm::Base64 || form == TTextForm::Base64Lines;
        if (base64 && n < 12 && read.Form != THexTextForm::Base64) continue;
        ASSERT_TRUE(read.Recognised()) << text.substr(0, 200);
        EXPECT_TRUE(read.Bytes == bytes);
        EXPECT_EQ(read.IssueCount, 0) << text.substr(0, 200);
        EXPECT_FALSE(read.Lossy);
        EXPECT_EQ(read.Removed, static_cast<int64_t>(text.size()) -
                                    (form == TTextForm::Base64 || form == TTextForm::Base64Lines ||
                                             form == TTextForm::DataUri
                                         ? static_cast<int64_t>((n * 4 + 2) / 3)
                                         : static_cast<int64_t>(2 * n)));
      }
    }
  }
}

TEST(TextFormWriter, NamesTheFormItWasWrittenIn) {
  const std::string bytes = RandomBytes(300, 6);
  TTextFormOptions named;
  named.FileName = "photo.jpg";
  const std::pair<TTextForm, THexTextForm> expected[] = {
      {TTextForm::HexUpper, THexTextForm::Hex},
      {TTextForm::HexLower, THexTextForm::Hex},
      {TTextForm::HexPairs16, THexTextForm::Hex},
      {TTextForm::HexPairs32, THexTextForm::Hex},
      {TTextForm::HexList, THexTextForm::HexList},
      {TTextForm::EscapedHex, THexTextForm::EscapedHex},
      {TTextForm::CArray, THexTextForm::CArray},
      {TTextForm::SqlBlob, THexTextForm::SqlBlob},
      {TTextForm::SqlServerBinary, THexTextForm::SqlServerBinary},
      {TTextForm::PostgresBytea, THexTextForm::PostgresBytea},
      {TTextForm::Base64, THexTextForm::Base64},
      {TTextForm::Base64Lines, THexTextForm::Base64},
      {TTextForm::DataUri, THexTextForm::DataUri},
  };
  for (const auto& [written, read] : expected) {
    EXPECT_EQ(RecogniseHexText(WriteTextForm(written, bytes, named)).Form, read)
        << TextFormInfo(written).Key;
  }
}

}  // namespace
}  // namespace qv
