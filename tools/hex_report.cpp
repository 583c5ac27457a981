#include "tools/hex_report.h"

#include <algorithm>

#include "base/format.h"
#include "conversion/hex_codec.h"

namespace qv {

namespace {

// Pairs decoded per codec call: big enough for the vector paths, small enough
// for a buffer on the stack.
constexpr int32_t kChunkPairs = 16384;
// Characters shown either side of a stop.
constexpr int64_t kContext = 12;

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
  const int64_t length = static_cast<int64_t>(text.size());
  const int64_t wanted = length / 2;
  int64_t decoded = 0;
  uint8_t bytes[kChunkPairs];
  while (decoded < wanted) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(kChunkPairs, wanted - decoded));
    const int32_t got = HexTextToBytes(text.data() + 2 * decoded, bytes, want);
    decoded += got;
    if (got < want) break;
  }
  return DescribeHexStop(text, 0, length, decoded);
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

  // Positions in the window from here on.
  size_t at = static_cast<size_t>(2 * pairs_decoded - window_offset);
  if (IsHexDigit(window[at])) ++at;
  stop.Offset = window_offset + static_cast<int64_t>(at);
  stop.Line = 1;
  stop.Column = stop.Offset + 1;
  stop.Reason = ReasonAt(window, at);

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
