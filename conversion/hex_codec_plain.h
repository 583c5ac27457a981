// The hex codec's portable code: a table per digit, one byte at a time. It is
// the reference the vector paths must match, the path where they are absent,
// and the tail every vector kernel hands its last bytes to, so it depends on
// nothing of the codec above it. Contracts as BytesToHexText and
// HexTextToBytes (hex_codec.h).
#pragma once

#include <cstdint>

namespace qv {

void BytesToHexTextPlain(const uint8_t* bytes, char* text, int32_t count);
int32_t HexTextToBytesPlain(const char* text, uint8_t* bytes, int32_t count);

}  // namespace qv
