// Where and why hex text stops decoding: what a restore from the text turns
// into bytes, and the characters that cut it short.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

struct THexStop {
  int64_t Length = 0;        // characters in the text
  int64_t PairsWanted = 0;   // Length / 2: the bytes a restore makes
  int64_t PairsDecoded = 0;  // pairs before the first one holding a non-digit
  bool Stopped = false;      // PairsDecoded < PairsWanted
  // When Stopped: the first character that is not a hex digit, 0-based, and
  // its line and column (1-based). Every character before it is a digit, so
  // it always stands on the first line; the column is Offset + 1.
  int64_t Offset = 0;
  int64_t Line = 0;
  int64_t Column = 0;
  std::string Reason;   // "a line break", "a blank", "a 0x prefix", ...
  std::string Run;      // the run of non-digits from Offset, escaped (at most 16)
  std::string Context;  // escaped text around the stop; Offset's character is at Caret
  size_t Caret = 0;
};

// The strict reading's stop (FindStrictHexStop), described for the command line.
THexStop FindHexStop(std::string_view text);

// The stop of a text of `length` characters whose first `pairs_decoded` pairs
// decode, described from `window`: the characters from `window_offset` on,
// which must include the stopping pair (a dozen characters either side show
// in Context).
THexStop DescribeHexStop(std::string_view window, int64_t window_offset, int64_t length,
                         int64_t pairs_decoded);
// Where DescribeHexStop's window starts and how long it is, for a reader that
// fetches only that part of the text.
int64_t HexStopWindowOffset(int64_t pairs_decoded);
inline constexpr int64_t kHexStopWindow = 48;

// Printable ASCII as it is (with \\ and \" escaped); \r, \n, \t, \0 and \xHH
// for the rest, so that invisible and non-ASCII characters can be seen.
std::string EscapeText(std::string_view text);

bool IsHexDigit(char c);

}  // namespace qv
