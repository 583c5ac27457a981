#include "tools/hex_report.h"

#include <algorithm>

#include "base/format.h"
#include "conversion/hex_codec.h"

namespace qv {

namespace {

// Pairs decoded per codec call: big enough for the vector paths, small enough
// for a buffer on the stack.
constexpr int32_t kChunkPairs = 16384;

std::string ReasonAt(std::string_view text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c == '\r' || c == '\n') return "a line break";
  if (c == ' ') return "a blank";
  if (c == '\t') return "a tab";
  if (c == '\0') return "a NUL character";
  if ((c == 'x' || c == 'X') && at > 0 && text[at - 1] == '0') return "a 0x prefix";
  if (c >= 0x80) return "a character outside ASCII";
  if (c < 0x20 || c == 0x7F) return "a control character";
  return "a character that is not a hex digit";
}

void LineAndColumn(std::string_view text, size_t at, int64_t& line, int64_t& column) {
  line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < at; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      line_start = i + 1;
    }
  }
  column = 1;
  for (size_t i = line_start; i < at; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
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
  THexStop stop;
  stop.Length = static_cast<int64_t>(text.size());
  stop.PairsWanted = stop.Length / 2;
  uint8_t bytes[kChunkPairs];
  while (stop.PairsDecoded < stop.PairsWanted) {
    const int32_t want =
        static_cast<int32_t>(std::min<int64_t>(kChunkPairs, stop.PairsWanted - stop.PairsDecoded));
    const int32_t got = HexTextToBytes(text.data() + 2 * stop.PairsDecoded, bytes, want);
    stop.PairsDecoded += got;
    if (got < want) break;
  }
  stop.Stopped = stop.PairsDecoded < stop.PairsWanted;
  if (!stop.Stopped) return stop;

  size_t at = static_cast<size_t>(2 * stop.PairsDecoded);
  if (IsHexDigit(text[at])) ++at;
  stop.Offset = static_cast<int64_t>(at);
  LineAndColumn(text, at, stop.Line, stop.Column);
  stop.Reason = ReasonAt(text, at);

  // A 0x prefix shows with its 0, which the codec took as the pair's first digit.
  const size_t run_start = stop.Reason == "a 0x prefix" ? at - 1 : at;
  size_t run_end = at;
  while (run_end < text.size() && run_end - run_start < 16 && !IsHexDigit(text[run_end])) ++run_end;
  stop.Run = EscapeText(text.substr(run_start, run_end - run_start));
  const size_t before = std::min<size_t>(run_start, 12);
  const size_t after_end = std::min(text.size(), run_end + 12);
  std::string head = EscapeText(text.substr(run_start - before, before));
  if (run_start > before) head = "..." + head;
  stop.Caret = head.size() + EscapeText(text.substr(run_start, at - run_start)).size();
  stop.Context = head + stop.Run + EscapeText(text.substr(run_end, after_end - run_end));
  if (after_end < text.size()) stop.Context += "...";
  return stop;
}

}  // namespace qv
