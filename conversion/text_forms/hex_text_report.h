// The recogniser's report and the forms' names in the window's words. The
// report itself is data (hex_text_recogniser.h); this is one way to say it,
// for the status bar and the menus.
#pragma once

#include <cstdint>
#include <string>

#include "conversion/text_forms/hex_text_recogniser.h"
#include "conversion/text_forms/strict_hex_stop.h"
#include "conversion/text_forms/text_form_writer.h"

namespace qv {

// "xxd 转储", "C 数组", …
std::string HexTextFormName(THexTextForm form);
// The written forms, for a menu or a save dialog: "C 数组 (xxd -i)", …
std::string TextFormName(TTextForm form);

// 'g', 空格, 换行, 制表符, or U+3000 for what cannot be shown.
std::string CharacterName(char32_t c);
// 1,234,567
std::string GroupThousands(int64_t n);

// One issue: "第 812 行：无法识别的字符 'g'".
std::string DescribeIssue(const THexTextIssue& issue);
// The whole reading in one line: what was recognised and removed, and the
// first issue; or why the text was refused.
std::string DescribeRecognition(const TRecognition& recognition);

// Where the strict reading stopped and what it restored by then, for a stop
// (Stopped): "16进制在第 1,025 个字符处停止（空格）：已还原 512 字节".
std::string DescribeStrictHexStop(const TStrictHexStop& stop);

}  // namespace qv
