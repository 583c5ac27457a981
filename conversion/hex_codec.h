// Hex text codec: bytes to upper-case digit pairs and back.
// Both work on areas the caller has sized; they allocate nothing and write no
// separators, prefix or terminator.
#pragma once

#include <cstdint>

// The plain table-driven forms, BytesToHexTextPlain and HexTextToBytesPlain:
// the reference for the vectorised paths.
#include "conversion/hex_codec_plain.h"
// THexPath, the instruction-set paths.
#include "conversion/hex_codec_paths.h"

namespace qv {

// Writes exactly 2*count characters ("0123456789ABCDEF", high nibble first).
// Nothing is written when count <= 0.
void BytesToHexText(const uint8_t* bytes, char* text, int32_t count);

// Decodes pairs from the start of `text` until `count` bytes are written or a
// pair holds a character that is not a hex digit (either case). Returns the
// number of bytes written (0..count). The stopping pair writes nothing, and no
// character after the one that stopped decoding is used.
int32_t HexTextToBytes(const char* text, uint8_t* bytes, int32_t count);

// The path BytesToHexText and HexTextToBytes take: the fastest this processor
// runs (THexPath::Plain where none other is).
THexPath BestHexPath();
bool HexPathSupported(THexPath path);

// How the AVX2 and AVX-512 paths write their output. Streaming (non-temporal)
// stores bypass the cache: where input and output together overflow it, the
// output would only evict itself, and each of its lines would first be read
// in for nothing. Below that, cached stores leave the result where its reader
// (the text box, the JPEG decoder) finds it next. Auto streams once the bytes
// read and written reach kHexStreamingBytes, half the last-level cache of a
// typical x86 server (shared with other work). Either way the result is the same.
enum class THexStores { Auto, Cached, Streaming };
inline constexpr int64_t kHexStreamingBytes = int64_t{16} << 20;

void BytesToHexTextWith(THexPath path, const uint8_t* bytes, char* text, int32_t count,
                        THexStores stores = THexStores::Auto);
int32_t HexTextToBytesWith(THexPath path, const char* text, uint8_t* bytes, int32_t count,
                           THexStores stores = THexStores::Auto);

}  // namespace qv
