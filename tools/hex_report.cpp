#include "tools/hex_report.h"

#include <algorithm>

#include "base/format.h"
#include "conversion/text_forms/strict_hex_stop.h"

namespace qv {

namespace {

// Characters shown either side of a stop.
constexpr int64_t kContext = 12;

std::string ReasonFor(const TStrictHexStop& stop) {
  switch (stop.Cause) {
    case THexStopCause::LineBreak:
      return "a line break";
    case THexStopCause::Blank:
      return "a blank";
    case THexStopCause::Tab:
      return "a tab";
    case THexStopCause::ZeroXPrefix:
      return "a 0x prefix";
    case THexStopCause::NonAscii:
      return "a character outside ASCII";
    case THexStopCause::Control:
      return stop.Character == 0 ? "a NUL character" : "a control character";
    default:
      return "a character that is not a hex digit";
  }
}

}  // namespace

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          out += Format("\\x%02X", c);
        } else {
          out += ch;
        }
    }
  }
  return out;
}

THexStop FindHexStop(std::string_view text) {
  const TStrictHexStop strict = FindStrictHexStop(text);
  return DescribeHexStop(text, 0, strict.Length, strict.Bytes);
}

int64_t HexStopWindowOffset(int64_t pairs_decoded) {
  return std::max<int64_t>(0, 2 * pairs_decoded - kContext);
}

THexStop DescribeHexStop(std::string_view window, int64_t window_offset, int64_t length,
                         int64_t pairs_decoded) {
  THexStop stop;
  stop.Length = length;
  stop.PairsWanted = length / 2;
  stop.PairsDecoded = pairs_decoded;
  stop.Stopped = pairs_decoded < stop.PairsWanted;
  if (!stop.Stopped) return stop;

  // Positions in the window from here on. The strict reading of the rest,
  // from the pair that failed, names the character and why.
  const auto pair = static_cast<size_t>(2 * pairs_decoded - window_offset);
  TStrictHexStop strict = FindStrictHexStop(window.substr(pair));
  // The 0 of a 0x prefix may stand before the failed pair.
  if (strict.Offset == 0 && (window[pair] == 'x' || window[pair] == 'X') && pair > 0 &&
      window[pair - 1] == '0')
    strict.Cause = THexStopCause::ZeroXPrefix;
  const size_t at = pair + static_cast<size_t>(strict.Offset);
  stop.Offset = window_offset + static_cast<int64_t>(at);
  stop.Line = 1;
  stop.Column = stop.Offset + 1;
  stop.Reason = ReasonFor(strict);

  // A 0x prefix shows with its 0, which the codec took as the pair's first digit.
  const size_t run_start = stop.Reason == "a 0x prefix" ? at - 1 : at;
  size_t run_end = at;
  while (run_end < window.size() && run_end - run_start < 16 && !IsHexDigit(window[run_end]))
    ++run_end;
  stop.Run = EscapeText(window.substr(run_start, run_end - run_start));
  const size_t before = std::min<size_t>(run_start, kContext);
  const size_t after_end = std::min(window.size(), run_end + kContext);
  std::string head = EscapeText(window.substr(run_start - before, before));
  if (window_offset + static_cast<int64_t>(run_start - before) > 0) head = "..." + head;
  stop.Caret = head.size() + EscapeText(window.substr(run_start, at - run_start)).size();
  stop.Context = head + stop.Run + EscapeText(window.substr(run_end, after_end - run_end));
  if (window_offset + static_cast<int64_t>(after_end) < length) stop.Context += "...";
  return stop;
}

}  // namespace qv
