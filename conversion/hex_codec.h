// Hex text codec: bytes to upper-case digit pairs and back.
// Both work on areas the caller has sized; they allocate nothing and write no
// separators, prefix or terminator.
#pragma once

#include <cstdint>

namespace qv {

// Writes exactly 2*count characters ("0123456789ABCDEF", high nibble first).
// Nothing is written when count <= 0.
void BytesToHexText(const uint8_t* bytes, char* text, int32_t count);

// Decodes pairs from the start of `text` until `count` bytes are written or a
// pair holds a character that is not a hex digit (either case). Returns the
// number of bytes written (0..count). The stopping pair writes nothing, and no
// character after the one that stopped decoding is used.
int32_t HexTextToBytes(const char* text, uint8_t* bytes, int32_t count);

// The plain table-driven forms, the reference for the vectorised paths.
void BytesToHexTextPlain(const uint8_t* bytes, char* text, int32_t count);
int32_t HexTextToBytesPlain(const char* text, uint8_t* bytes, int32_t count);

// Which instruction-set path the dispatcher uses; tests force each in turn.
enum class THexPath { Plain, SSE2, SSSE3, AVX2 };
THexPath BestHexPath();
bool HexPathSupported(THexPath path);
void BytesToHexTextWith(THexPath path, const uint8_t* bytes, char* text, int32_t count);
int32_t HexTextToBytesWith(THexPath path, const char* text, uint8_t* bytes, int32_t count);

}  // namespace qv
