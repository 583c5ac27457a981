// The x86 kernels of the hex codec, one per instruction set. Only the build
// for x86 has them; hex_codec_dispatch_x86.cpp calls them once the processor
// is known to run the path. Their contracts are those of BytesToHexText and
// HexTextToBytes, count > 0; each hands its last bytes to the portable code
// (hex_codec_plain.h). With `stream` the AVX2 and AVX-512 kernels
// write with non-temporal stores where the output is suitably aligned, and
// fence them before they return.
#pragma once

#include <cstdint>

namespace qv::hex_x86 {

__attribute__((target("sse2"))) void EncodeSse2(const uint8_t* bytes, char* text, int32_t count);
__attribute__((target("ssse3"))) void EncodeSsse3(const uint8_t* bytes, char* text, int32_t count);
__attribute__((target("avx2"))) void EncodeAvx2(const uint8_t* bytes, char* text, int32_t count,
                                                bool stream);
__attribute__((target("avx512f,avx512bw"))) void EncodeAvx512Bw(const uint8_t* bytes, char* text,
                                                                int32_t count, bool stream);
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void EncodeAvx512Vbmi(const uint8_t* bytes,
                                                                             char* text,
                                                                             int32_t count,
                                                                             bool stream);

__attribute__((target("sse2"))) int32_t DecodeSse2(const char* text, uint8_t* bytes, int32_t count);
__attribute__((target("ssse3"))) int32_t DecodeSsse3(const char* text, uint8_t* bytes,
                                                     int32_t count);
__attribute__((target("avx2"))) int32_t DecodeAvx2(const char* text, uint8_t* bytes, int32_t count,
                                                   bool stream);
__attribute__((target("avx512f,avx512bw"))) int32_t DecodeAvx512Bw(const char* text, uint8_t* bytes,
                                                                   int32_t count, bool stream);
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t DecodeAvx512Vbmi(const char* text,
                                                                                uint8_t* bytes,
                                                                                int32_t count,
                                                                                bool stream);

}  // namespace qv::hex_x86
