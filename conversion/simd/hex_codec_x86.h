// The x86 kernels of the hex codec, one per instruction set. Only the build
// for x86 has them; call them through hex_codec.h, which checks that the
// processor supports the path. Their contracts are those of BytesToHexText
// and HexTextToBytes, count > 0.
#pragma once

#include <cstdint>

namespace qv::hex_x86 {

__attribute__((target("sse2"))) void EncodeSse2(const uint8_t* bytes, char* text, int32_t count);
__attribute__((target("ssse3"))) void EncodeSsse3(const uint8_t* bytes, char* text, int32_t count);
__attribute__((target("avx2"))) void EncodeAvx2(const uint8_t* bytes, char* text, int32_t count);

__attribute__((target("sse2"))) int32_t DecodeSse2(const char* text, uint8_t* bytes, int32_t count);
__attribute__((target("ssse3"))) int32_t DecodeSsse3(const char* text, uint8_t* bytes,
                                                     int32_t count);
__attribute__((target("avx2"))) int32_t DecodeAvx2(const char* text, uint8_t* bytes, int32_t count);

}  // namespace qv::hex_x86
