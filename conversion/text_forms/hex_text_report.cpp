#include "conversion/text_forms/hex_text_report.h"

#include "base/format.h"

namespace qv {

namespace {

std::string Line(const THexTextPlace& place) {
  return "第 " + GroupThousands(place.Line) + " 行：";
}

}  // namespace

std::string HexTextFormName(THexTextForm form) {
  switch (form) {
    case THexTextForm::None:
      return "未识别";
    case THexTextForm::Hex:
      return "16进制文本";
    case THexTextForm::HexList:
      return "0x 列表";
    case THexTextForm::CArray:
      return "C 数组";
    case THexTextForm::EscapedHex:
      return "\\x 转义串";
    case THexTextForm::XxdDump:
      return "xxd 转储";
    case THexTextForm::HexdumpCanonical:
      return "hexdump -C 转储";
    case THexTextForm::OdBytes:
      return "od 转储";
    case THexTextForm::WordDump:
      return "16 位字转储 (od -x, hexdump)";
    case THexTextForm::SqlBlob:
      return "SQL X'…' 字面量";
    case THexTextForm::SqlServerBinary:
      return "SQL Server 0x… 字面量";
    case THexTextForm::PostgresBytea:
      return "PostgreSQL bytea 字面量";
    case THexTextForm::PostgresDecode:
      return "PostgreSQL decode(…)";
    case THexTextForm::Base64:
      return "Base64";
    case THexTextForm::DataUri:
      return "data: URI";
  }
  return {};
}

std::string TextFormName(TTextForm form) {
  switch (form) {
    case TTextForm::HexUpper:
      return "16进制（大写）";
    case TTextForm::HexLower:
      return "16进制（小写）";
    case TTextForm::HexPairs16:
      return "16进制，每行 16 字节";
    case TTextForm::HexPairs32:
      return "16进制，每行 32 字节";
    case TTextForm::HexList:
      return "0x 列表";
    case TTextForm::EscapedHex:
      return "\\x 转义串";
    case TTextForm::CArray:
      return "C 数组 (xxd -i)";
    case TTextForm::SqlBlob:
      return "SQL：SQLite/MySQL X'…'";
    case TTextForm::SqlServerBinary:
      return "SQL：SQL Server 0x…";
    case TTextForm::PostgresBytea:
      return "SQL：PostgreSQL bytea";
    case TTextForm::Base64:
      return "Base64";
    case TTextForm::Base64Lines:
      return "Base64，每行 76 字符";
    case TTextForm::DataUri:
      return "data: URI";
  }
  return {};
}

std::string CharacterName(char32_t c) {
  switch (c) {
    case ' ':
      return "空格";
    case '\t':
      return "制表符";
    case '\r':
    case '\n':
      return "换行";
    case 0x3000:
      return "全角空格";
    default:
      break;
  }
  if (c < 0x20 || c == 0x7F || c == 0xFFFD || (c >= 0x80 && c < 0xA0))
    return Format("U+%04X", static_cast<unsigned>(c));
  std::string quoted(1, '\'');
  AppendUtf8(quoted, c);
  quoted += '\'';
  return quoted;
}

std::string GroupThousands(int64_t n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string grouped = n < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string DescribeIssue(const THexTextIssue& issue) {
  const std::string line = Line(issue.Place);
  const std::string what = CharacterName(issue.Place.Character);
  switch (issue.Kind) {
    case THexTextIssueKind::StrayCharacter:
      if (issue.Count > 1) {
        return line + "无法识别的 " + GroupThousands(issue.Count) + " 个字符（从 " + what + " 起）";
      }
      return line + "无法识别的字符 " + what;
    case THexTextIssueKind::LoneDigit:
      return line + what + " 不成对，已忽略";
    case THexTextIssueKind::CutGroup:
      return line + "不完整的一组数字，已忽略";
    case THexTextIssueKind::ValueTooLarge:
      return line + "数值大于 255，已忽略";
    case THexTextIssueKind::RepeatUnknown:
      return line + "\"*\" 省略的重复行无法还原，缺少字节";
    case THexTextIssueKind::AddressGap:
      return line + "地址跳过 " + GroupThousands(issue.Count) + " 字节，缺少字节";
    case THexTextIssueKind::AddressBack:
      return line + "地址倒退 " + GroupThousands(issue.Count) + " 字节";
    case THexTextIssueKind::LengthMismatch:
      return line + "标明的长度 " + GroupThousands(issue.Count) + " 与读到的字节数不符";
    case THexTextIssueKind::OtherData:
      return line + "其后还有数据，未读取";
  }
  return line;
}

std::string DescribeRecognition(const TRecognition& r) {
  switch (r.Refusal) {
    case THexTextRefusal::None:
      break;
    case THexTextRefusal::Empty:
      return "没有可整理的16进制文本";
    case THexTextRefusal::Unrecognised:
      return "无法识别的16进制文本：第 " + GroupThousands(r.RefusedAt.Line) + " 行第 " +
             GroupThousands(r.RefusedAt.Column) + " 个字符 " + CharacterName(r.RefusedAt.Character);
    case THexTextRefusal::NotBase64Uri:
      return "data: URI 的数据不是 Base64，无法整理";
    case THexTextRefusal::TooLarge:
      return "16进制文本太大，无法整理";
    case THexTextRefusal::Cancelled:
      return "已取消整理";
  }
  std::string text = "识别为" + HexTextFormName(r.Form) + "：删除 " + GroupThousands(r.Removed) +
                     " 个字符，共 " + GroupThousands(static_cast<int64_t>(r.Bytes.size())) +
                     " 字节";
  if (r.Swapped) text += "，16 位字已换回原来的字节顺序";
  if (!r.Issues.empty()) {
    text += "；" + DescribeIssue(r.Issues.front());
    if (r.IssueCount > 1) text += "（共 " + GroupThousands(r.IssueCount) + " 处）";
  }
  return text;
}

std::string DescribeStrictHexStop(const TStrictHexStop& stop) {
  const std::string restored = "已还原 " + GroupThousands(stop.Bytes) + " 字节";
  if (stop.Cause == THexStopCause::LoneLastDigit) {
    return "16进制的最后一个字符 " + CharacterName(stop.Character) + " 不成对，已忽略：" + restored;
  }
  // The box starts with a line break, and a click puts the caret after it:
  // the commonest stop of all, said in the user's terms.
  if (stop.Offset == 0 && stop.Cause == THexStopCause::LineBreak) {
    return "文本以换行开头，16进制在第 1 个字符处停止：" + restored;
  }
  std::string text = "16进制在第 " + GroupThousands(stop.Offset + 1) + " 个字符处停止（" +
                     CharacterName(stop.Character);
  if (stop.Cause == THexStopCause::ZeroXPrefix) text += "，0x 前缀";
  return text + "）：" + restored;
}

}  // namespace qv
