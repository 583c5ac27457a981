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
  // its line and column (1-based; a line ends at LF, CR LF or a lone CR; the
  // column counts UTF-8 characters).
  int64_t Offset = 0;
  int64_t Line = 0;
  int64_t Column = 0;
  std::string Reason;   // "a line break", "a blank", "a 0x prefix", ...
  std::string Run;      // the run of non-digits from Offset, escaped (at most 16)
  std::string Context;  // escaped text around the stop; Offset's character is at Caret
  size_t Caret = 0;
};

// Decodes the text pair by pair with the codec the restore uses.
THexStop FindHexStop(std::string_view text);

// Printable ASCII as it is (with \\ and \" escaped); \r, \n, \t, \0 and \xHH
// for the rest, so that invisible and non-ASCII characters can be seen.
std::string EscapeText(std::string_view text);

bool IsHexDigit(char c);

}  // namespace qv
