// The x86 dispatch of the hex codec: the processor's instruction sets as
// libgcc detects them, and the kernel per path (hex_codec_x86.cpp,
// hex_codec_avx512.cpp).
#include <initializer_list>

#include "conversion/simd/hex_codec_dispatch.h"
#include "conversion/simd/hex_codec_x86.h"

namespace qv::hex_simd {

bool Supported(THexPath path) {
  switch (path) {
    case THexPath::Plain:
      return false;
    case THexPath::SSE2:
      return __builtin_cpu_supports("sse2");
    case THexPath::SSSE3:
      return __builtin_cpu_supports("ssse3");
    case THexPath::AVX2:
      return __builtin_cpu_supports("avx2");
    // libgcc reports AVX-512 only where the system saves the registers too.
    case THexPath::AVX512BW:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    case THexPath::AVX512VBMI:
      return Supported(THexPath::AVX512BW) && __builtin_cpu_supports("avx512vbmi");
  }
  return false;
}

THexPath BestPath() {
  for (THexPath path : {THexPath::AVX512VBMI, THexPath::AVX512BW, THexPath::AVX2, THexPath::SSSE3,
                        THexPath::SSE2}) {
    if (Supported(path)) return path;
  }
  return THexPath::Plain;
}

bool Encode(THexPath path, const uint8_t* bytes, char* text, int32_t count, bool stream) {
  switch (path) {
    case THexPath::Plain:
      return false;
    case THexPath::SSE2:
      hex_x86::EncodeSse2(bytes, text, count);
      return true;
    case THexPath::SSSE3:
      hex_x86::EncodeSsse3(bytes, text, count);
      return true;
    case THexPath::AVX2:
      hex_x86::EncodeAvx2(bytes, text, count, stream);
      return true;
    case THexPath::AVX512BW:
      hex_x86::EncodeAvx512Bw(bytes, text, count, stream);
      return true;
    case THexPath::AVX512VBMI:
      hex_x86::EncodeAvx512Vbmi(bytes, text, count, stream);
      return true;
  }
  return false;
}

bool Decode(THexPath path, const char* text, uint8_t* bytes, int32_t count, bool stream,
            int32_t& done) {
  switch (path) {
    case THexPath::Plain:
      return false;
    case THexPath::SSE2:
      done = hex_x86::DecodeSse2(text, bytes, count);
      return true;
    case THexPath::SSSE3:
      done = hex_x86::DecodeSsse3(text, bytes, count);
      return true;
    case THexPath::AVX2:
      done = hex_x86::DecodeAvx2(text, bytes, count, stream);
      return true;
    case THexPath::AVX512BW:
      done = hex_x86::DecodeAvx512Bw(text, bytes, count, stream);
      return true;
    case THexPath::AVX512VBMI:
      done = hex_x86::DecodeAvx512Vbmi(text, bytes, count, stream);
      return true;
  }
  return false;
}

}  // namespace qv::hex_simd
