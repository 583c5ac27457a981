// The recogniser on small texts that show one rule each: the ambiguous and
// malformed cases it decides, the report's counts and places, progress and
// cancelling. The tools' own output is read in text_forms_tools_test.cpp.
#include "conversion/text_forms/hex_text_recogniser.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

std::string Hex(const std::string& bytes) {
  return StrictHexRun(bytes);
}

using K = THexTextIssueKind;
using F = THexTextForm;

struct TIssueAt {
  K Kind;
  int64_t Line;
  int64_t Column;
};

struct TCase {
  const char* Name;
  std::string Text;
  F Form;
  std::string Bytes;  // as a strict hex run
  std::vector<TIssueAt> Issues = {};
  bool Lossy = false;
  bool Swapped = false;
};

void PrintTo(const TCase& c, std::ostream* os) {
  *os << c.Name;
}

class RecogniserCase : public testing::TestWithParam<TCase> {};

TEST_P(RecogniserCase, ReadsAsDocumented) {
  const TCase& c = GetParam();
  const TRecognition r = RecogniseHexText(c.Text);
  ASSERT_EQ(r.Form, c.Form) << "refusal " << static_cast<int>(r.Refusal);
  EXPECT_EQ(Hex(r.Bytes), c.Bytes);
  EXPECT_EQ(r.Lossy, c.Lossy);
  EXPECT_EQ(r.Swapped, c.Swapped);
  ASSERT_EQ(r.Issues.size(), c.Issues.size());
  EXPECT_EQ(r.IssueCount, static_cast<int64_t>(c.Issues.size()));
  for (size_t i = 0; i < c.Issues.size(); ++i) {
    EXPECT_EQ(r.Issues[i].Kind, c.Issues[i].Kind) << "issue " << i;
    EXPECT_EQ(r.Issues[i].Place.Line, c.Issues[i].Line) << "issue " << i;
    EXPECT_EQ(r.Issues[i].Place.Column, c.Issues[i].Column) << "issue " << i;
  }
}

const TCase kCases[] = {
    // Plain hex and what it may hold between the pairs.
    {"hex_in_either_case", "ffD8Ff", F::Hex, "FFD8FF"},
    {"hex_with_line_breaks_first", "\r\nFFD8", F::Hex, "FFD8"},
    {"digits_pair_across_blanks", "F FD 8", F::Hex, "FFD8"},
    {"separators_between_pairs", "FF:D8-ff, E0;00\tAB", F::Hex, "FFD8FFE000AB"},
    {"odd_digit_count_leaves_the_last", "FFD8F", F::Hex, "FFD8", {{K::LoneDigit, 1, 5}}},
    {"stray_letter_on_line_three",
     "FFD8\nFFE0\nFFgE1\n",
     F::Hex,
     "FFD8FFE0FFE1",
     {{K::StrayCharacter, 3, 3}}},
    {"stray_character_outside_ascii",
     "FF\r\nD8\r\nAB \xE5\x9B\xBE CD",
     F::Hex,
     "FFD8ABCD",
     {{K::StrayCharacter, 3, 4}}},
    {"od_repeat_without_addresses",
     " ff d8\n*\n ff d9\n",
     F::Hex,
     "FFD8FFD9",
     {{K::RepeatUnknown, 2, 1}},
     true},
    // Base64 and hex: a text of hex digits alone is hex.
    {"hex_that_is_also_base64", "DEADBEEF", F::Hex, "DEADBEEF"},
    {"padded_base64_of_hex_letters", "AA==", F::Base64, "00"},
    {"base64_of_a_jpeg_start", "/9j/4AAQ", F::Base64, "FFD8FFE00010"},
    {"base64_in_lines", "/9j/\r\n4AAQ\r\n", F::Base64, "FFD8FFE00010"},
    {"base64_url_safe", "_9j_4AAQ", F::Base64, "FFD8FFE00010"},
    {"base64_without_padding", "/9j/4A", F::Base64, "FFD8FFE0"},
    {"data_uri", "data:image/jpeg;base64,/9j/4AAQ", F::DataUri, "FFD8FFE00010"},
    // Lists and C arrays.
    {"list_without_blanks", "0xFF,0xD8,0xff", F::HexList, "FFD8FF"},
    {"list_in_brackets", "[0xff, 0xd8, 0x5]", F::HexList, "FFD805"},
    {"list_of_words_in_written_order", "0xFFD8, 0xFFE0", F::HexList, "FFD8FFE0"},
    {"c_array_with_comments",
     "/* made by hand */\nstatic const unsigned char a[] = { // SOI first\n"
     "  0xFF, 0xD8, /* 0x00 is not data */ 0xFF\n};\nunsigned int a_len = 3;\n",
     F::CArray, "FFD8FF"},
    {"c_array_with_decimal_and_octal", "unsigned char a[] = {255, 216, 0377, 0};", F::CArray,
     "FFD8FF00"},
    {"c_array_value_over_255",
     "unsigned char a[] = {255, 300, 1};",
     F::CArray,
     "FF01",
     {{K::ValueTooLarge, 1, 27}}},
    {"c_array_shorter_than_its_length",
     "unsigned char a[] = {\n  0xff, 0xd8\n};\nunsigned int a_len = 3;\n",
     F::CArray,
     "FFD8",
     {{K::LengthMismatch, 4, 22}},
     true},
    {"two_c_arrays_read_the_first",
     "unsigned char a[] = {0xff};\nunsigned char b[] = {0xd8};\n",
     F::CArray,
     "FF",
     {{K::OtherData, 2, 21}}},
    {"empty_c_array", "unsigned char e[] = {\n};\nunsigned int e_len = 0;\n", F::CArray, ""},
    // Escapes.
    {"escapes", "\\xff\\xd8\\xFF", F::EscapedHex, "FFD8FF"},
    {"escapes_in_python_bytes", "b'\\xff\\xd8'", F::EscapedHex, "FFD8"},
    {"escapes_in_c_strings", "\"\\xff\\xd8\"\n\"\\xff\"", F::EscapedHex, "FFD8FF"},
    {"escape_of_one_digit", "\\xff\\x8\\xff", F::EscapedHex, "FF08FF"},
    // SQL.
    {"sql_blob_in_a_statement", "INSERT INTO t VALUES (1, X'FFD8FF');", F::SqlBlob, "FFD8FF"},
    {"sql_blob_lower_case", "x'ffd8'", F::SqlBlob, "FFD8"},
    {"sql_blob_then_another", "X'FFD8', X'00'", F::SqlBlob, "FFD8", {{K::OtherData, 1, 10}}},
    {"sql_empty_blob", "X''", F::SqlBlob, ""},
    {"sql_server_binary", "INSERT INTO t VALUES (0xFFD8FF)", F::SqlServerBinary, "FFD8FF"},
    {"postgres_bytea", "'\\xffd8ff'::bytea", F::PostgresBytea, "FFD8FF"},
    {"postgres_escape_string", "E'\\\\xffd8ff'", F::PostgresBytea, "FFD8FF"},
    {"postgres_psql_output", " \\xffd8ff\n", F::PostgresBytea, "FFD8FF"},
    {"postgres_empty_bytea", "'\\x'::bytea", F::PostgresBytea, ""},
    {"postgres_bytea_of_one_byte", "'\\xff'::bytea", F::PostgresBytea, "FF"},
    {"postgres_decode_hex", "SELECT decode('ffd8ff', 'hex');", F::PostgresDecode, "FFD8FF"},
    {"postgres_decode_base64", "decode('/9j/', 'base64')", F::PostgresDecode, "FFD8FF"},
    // Dumps.
    {"xxd_with_a_cut_last_line",
     "00000000: ffd8 ffe0 0010 4a46 4946 0001 0101 0048  ......JFIF.....H\n"
     "00000010: 0048 00",
     F::XxdDump, "FFD8FFE000104A464946000101010048004800"},
    {"xxd_cut_inside_a_pair",
     "00000000: ffd8 ffe0 0010 4a46 4946 0001 0101 0048  ......JFIF.....H\n"
     "00000010: 0048 0",
     F::XxdDump,
     "FFD8FFE000104A4649460001010100480048",
     {{K::LoneDigit, 2, 16}}},
    {"xxd_text_column_of_hex_digits",
     "00000000: 4142 4344 4546 3031 3233 3435 3637 3839  ABCDEF0123456789\n", F::XxdDump,
     "41424344454630313233343536373839"},
    {"hexdump_canonical_missing_a_line",
     "00000000  ff d8 ff e0 00 10 4a 46  49 46 00 01 01 01 00 48  |......JFIF.....H|\n"
     "00000020  00 48 00 00                                       |.H..|\n"
     "00000024\n",
     F::HexdumpCanonical,
     "FFD8FFE000104A46494600010101004800480000",
     {{K::AddressGap, 2, 1}},
     true},
    {"hexdump_canonical_repeat_at_the_end",
     "00000000  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n*\n",
     F::HexdumpCanonical,
     "00000000000000000000000000000000",
     {{K::RepeatUnknown, 2, 1}},
     true},
    {"hexdump_canonical_repeat_written_out",
     "00000000  01 02 03 04 05 06 07 08  09 0a 0b 0c 0d 0e 0f 10  |................|\n*\n"
     "00000030  ff                                                |.|\n00000031\n",
     F::HexdumpCanonical,
     "0102030405060708090A0B0C0D0E0F100102030405060708090A0B0C0D0E0F10"
     "0102030405060708090A0B0C0D0E0F10FF"},
    // The last line and the end address together are as long as a full line.
    {"od_last_line_and_end_as_long_as_a_line",
     "0000000 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n"
     "0000020 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f\n"
     "0000040 20 21 22 23 24 25 26 27 28 29 2a 2b 2c\n0000055\n",
     F::OdBytes,
     "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
     "202122232425262728292A2B2C"},
    {"od_words_of_an_odd_length",
     "0000000 6261 0063\n0000003\n",
     F::WordDump,
     "616263",
     {},
     false,
     true},
    {"od_words_without_addresses", " d8ff e0ff\n", F::WordDump, "FFD8FFE0", {}, false, true},
    {"od_bytes_with_decimal_addresses",
     "0000000 ff d8 ff e0 00 10 4a 46 49 46 00 01 01 01 00 48\n0000016 00 48\n0000018\n",
     F::OdBytes,
     "FFD8FFE000104A464946000101010048"
     "0048"},
    {"dump_after_a_command_line",
     "$ xxd a.jpg\n00000000: ffd8 ffe0                                ....\n",
     F::XxdDump,
     "FFD8FFE0",
     {{K::StrayCharacter, 1, 1}}},
};

INSTANTIATE_TEST_SUITE_P(Table, RecogniserCase, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<TCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST(Recogniser, RefusesWhatItCannotRead) {
  struct TRefusal {
    std::string text;
    THexTextRefusal why;
    int64_t line, column;
    char32_t character;
  } cases[] = {
      {"", THexTextRefusal::Empty, 0, 0, 0},
      {" \r\n\t\n", THexTextRefusal::Empty, 0, 0, 0},
      {"Hello, world! How are you today?", THexTextRefusal::Unrecognised, 1, 1, U'H'},
      {"\n  \xE5\x9B\xBE\xE7\x89\x87", THexTextRefusal::Unrecognised, 2, 3, U'\u56FE'},
      {"data:image/jpeg,%FF%D8", THexTextRefusal::NotBase64Uri, 0, 0, 0},
  };
  for (const TRefusal& c : cases) {
    SCOPED_TRACE(c.text);
    const TRecognition r = RecogniseHexText(c.text);
    EXPECT_FALSE(r.Recognised());
    EXPECT_EQ(r.Refusal, c.why);
    EXPECT_TRUE(r.Bytes.empty());
    if (c.why == THexTextRefusal::Unrecognised) {
      EXPECT_EQ(r.RefusedAt.Line, c.line);
      EXPECT_EQ(r.RefusedAt.Column, c.column);
      EXPECT_EQ(r.RefusedAt.Character, c.character);
    }
  }
}

TEST(Recogniser, CountsWhatItRemoved) {
  // 3 digits of data each side of the blanks; the 0x marks and separators go.
  const TRecognition list = RecogniseHexText("0xff, 0xd8");
  EXPECT_EQ(list.Characters, 10);
  EXPECT_EQ(list.Removed, 6);
  EXPECT_EQ(list.Unplaced, 0);
  // A stray run is one issue, its characters counted once each (a CJK
  // character is one character of three bytes).
  const TRecognition stray = RecogniseHexText("FFD8FFE000104A46 \xE5\x9B\xBEgz 49460001");
  EXPECT_EQ(stray.Characters, 29);
  EXPECT_EQ(stray.Removed, 5);
  EXPECT_EQ(stray.Unplaced, 3);
  ASSERT_EQ(stray.Issues.size(), 1u);
  EXPECT_EQ(stray.Issues[0].Count, 3);
  EXPECT_EQ(stray.Issues[0].Place.Character, U'\u56FE');
}

TEST(Recogniser, KeepsTheFirstIssuesAndCountsAll) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "FFD8FFE0 g\n";
  const TRecognition r = RecogniseHexText(text);
  EXPECT_EQ(r.Form, THexTextForm::Hex);
  EXPECT_EQ(r.Bytes.size(), 4000u);
  EXPECT_EQ(r.IssueCount, 1000);
  ASSERT_EQ(r.Issues.size(), kMaxHexTextIssues);
  EXPECT_EQ(r.Issues.back().Place.Line, static_cast<int64_t>(kMaxHexTextIssues));
  EXPECT_EQ(r.Issues.back().Place.Column, 10);
}

TEST(Recogniser, RefusesADumpThatClaimsMoreThanTheLimit) {
  // A repeat up to an address a terabyte on: refused before any such allocation.
  const std::string claim =
      "00000000  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n*\n"
      "10000000000\n";
  EXPECT_EQ(RecogniseHexText(claim).Refusal, THexTextRefusal::TooLarge);
  TRecogniseOptions small;
  small.MaxBytes = 10;
  EXPECT_EQ(RecogniseHexText(std::string(22, 'A'), small).Refusal, THexTextRefusal::TooLarge);
  EXPECT_EQ(RecogniseHexText(std::string(20, 'A'), small).Bytes.size(), 10u);
}

TEST(Recogniser, ReportsProgressAndCanBeCancelled) {
  const std::string text(std::string(20 << 20, 'A'));
  std::vector<int64_t> seen;
  TRecogniseOptions options;
  options.Progress = [&](int64_t done, int64_t total) {
    EXPECT_EQ(total, static_cast<int64_t>(text.size()));
    seen.push_back(done);
    return true;
  };
  EXPECT_EQ(RecogniseHexText(text, options).Bytes.size(), text.size() / 2);
  ASSERT_GE(seen.size(), 4u);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);

  options.Progress = [](int64_t done, int64_t) { return done < (8 << 20); };
  const TRecognition cancelled = RecogniseHexText(text, options);
  EXPECT_EQ(cancelled.Refusal, THexTextRefusal::Cancelled);
  EXPECT_FALSE(cancelled.Recognised());
  EXPECT_TRUE(cancelled.Bytes.empty());
}

// No state between calls: threads reading at once get what one reads alone.
TEST(Recogniser, ThreadsReadAtOnce) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "ff d8 ff e0 00 10 4a 46 g 49 46 00 01 01 01 00 48\n";
  const TRecognition alone = RecogniseHexText("0xff, 0xd8, g");
  std::vector<std::thread> threads;
  std::vector<TRecognition> results(4);
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&, i] { results[i] = RecogniseHexText(i % 2 ? text : "0xff, 0xd8, g"); });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < results.size(); i += 2) {
    EXPECT_EQ(results[i].Bytes, alone.Bytes);
    EXPECT_EQ(results[i].IssueCount, alone.IssueCount);
  }
  EXPECT_EQ(results[1].Bytes, results[3].Bytes);
}

TEST(Recogniser, StrictRunIsUpperCasePairs) {
  EXPECT_EQ(StrictHexRun(std::string("\xFF\xD8\x00\x0a", 4)), "FFD8000A");
  EXPECT_EQ(StrictHexRun(""), "");
}

}  // namespace
}  // namespace qv
