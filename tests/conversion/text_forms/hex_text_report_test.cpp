// The report in the window's words.
#include "conversion/text_forms/hex_text_report.h"

#include <gtest/gtest.h>

#include <set>

namespace qv {
namespace {

TEST(HexTextReport, SaysWhatWasRecognisedAndTheFirstIssue) {
  EXPECT_EQ(DescribeRecognition(RecogniseHexText("0xff, 0xd8")),
            "识别为0x 列表：删除 6 个字符，共 2 字节");
  std::string text;
  for (int i = 0; i < 811; ++i) text += "FFD8\n";
  text += "FFgD8\nG\n";
  EXPECT_EQ(
      DescribeRecognition(RecogniseHexText(text)),
      "识别为16进制文本：删除 815 个字符，共 1,624 字节；第 812 行：无法识别的字符 'g'（共 2 处）");
  EXPECT_EQ(
      DescribeRecognition(RecogniseHexText("0000000 6261 0063\n0000003\n")),
      "识别为16 位字转储 (od -x, hexdump)：删除 20 个字符，共 3 字节，16 位字已换回原来的字节顺序");
}

TEST(HexTextReport, SaysWhyATextWasRefused) {
  EXPECT_EQ(DescribeRecognition(RecogniseHexText(" \n")), "没有可整理的16进制文本");
  EXPECT_EQ(DescribeRecognition(RecogniseHexText("\nHello, world!")),
            "无法识别的16进制文本：第 2 行第 1 个字符 'H'");
  EXPECT_EQ(DescribeRecognition(RecogniseHexText("data:,abc")),
            "data: URI 的数据不是 Base64，无法整理");
}

TEST(HexTextReport, NamesCharactersPeopleCannotSee) {
  EXPECT_EQ(CharacterName(U' '), "空格");
  EXPECT_EQ(CharacterName(U'\n'), "换行");
  EXPECT_EQ(CharacterName(U'\r'), "换行");
  EXPECT_EQ(CharacterName(U'\t'), "制表符");
  EXPECT_EQ(CharacterName(U'\u3000'), "全角空格");
  EXPECT_EQ(CharacterName(U'\u56FE'), "'\xE5\x9B\xBE'");
  EXPECT_EQ(CharacterName(0), "U+0000");
  EXPECT_EQ(CharacterName(0xFFFD), "U+FFFD");
}

TEST(HexTextReport, SaysWhereTheStrictReadingStopped) {
  std::string long_run(1024, 'A');
  EXPECT_EQ(DescribeStrictHexStop(FindStrictHexStop(long_run + " FFD8")),
            "16进制在第 1,025 个字符处停止（空格）：已还原 512 字节");
  EXPECT_EQ(DescribeStrictHexStop(FindStrictHexStop("\r\nFFD8FFE0")),
            "文本以换行开头，16进制在第 1 个字符处停止：已还原 0 字节");
  EXPECT_EQ(DescribeStrictHexStop(FindStrictHexStop("0xFF")),
            "16进制在第 2 个字符处停止（'x'，0x 前缀）：已还原 0 字节");
  EXPECT_EQ(DescribeStrictHexStop(FindStrictHexStop("FFD8F")),
            "16进制的最后一个字符 'F' 不成对，已忽略：已还原 2 字节");
  EXPECT_EQ(DescribeStrictHexStop(FindStrictHexStop("FF\xE3\x80\x80"
                                                    "D8")),
            "16进制在第 3 个字符处停止（全角空格）：已还原 1 字节");
}

TEST(HexTextReport, GroupsThousands) {
  EXPECT_EQ(GroupThousands(0), "0");
  EXPECT_EQ(GroupThousands(999), "999");
  EXPECT_EQ(GroupThousands(1025), "1,025");
  EXPECT_EQ(GroupThousands(1234567), "1,234,567");
  EXPECT_EQ(GroupThousands(-1000), "-1,000");
}

TEST(HexTextReport, EveryFormHasItsOwnName) {
  std::set<std::string> names;
  for (const TTextForm form : kAllTextForms) EXPECT_TRUE(names.insert(TextFormName(form)).second);
  std::set<std::string> read;
  for (int f = 0; f <= static_cast<int>(THexTextForm::DataUri); ++f) {
    EXPECT_TRUE(read.insert(HexTextFormName(static_cast<THexTextForm>(f))).second);
  }
}

}  // namespace
}  // namespace qv
