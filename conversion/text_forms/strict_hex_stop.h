// Where the strict reading of hex text (hex to picture: pairs from the first
// character, stopping at the first pair that is not two digits) stops, on
// which character, and how many bytes it restored by then.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

enum class THexStopCause : uint8_t {
  None,       // every pair was read
  LineBreak,  // CR or LF
  Blank,      // a space
  Tab,
  ZeroXPrefix,   // the x of a 0x prefix (its 0 was read as a digit)
  NotHexDigit,   // another printable ASCII character
  Control,       // another ASCII control character, NUL among them
  NonAscii,      // a character outside ASCII (a full-width blank, a Chinese comma, …)
  LoneLastDigit  // all pairs read; an odd last digit is left over
};

struct TStrictHexStop {
  int64_t Length = 0;    // characters (bytes) of the text
  int64_t Bytes = 0;     // bytes restored before the stop: the pairs read
  bool Stopped = false;  // a character was left unread
  // When Stopped: the character that stopped the reading, 0-based (every
  // character before it is a digit, so the offset counts characters too), and
  // the character itself (U+FFFD for a byte that starts no valid UTF-8 sequence).
  int64_t Offset = 0;
  char32_t Character = 0;
  THexStopCause Cause = THexStopCause::None;
};

// Reads the text as hex to picture reads it, with the same codec.
TStrictHexStop FindStrictHexStop(std::string_view text);

// The same reading, keeping what it restores: `bytes` gets the pairs before
// the stop (not the zeros a restored picture is filled up with after it).
TStrictHexStop ReadStrictHex(std::string_view text, std::string& bytes);

}  // namespace qv
