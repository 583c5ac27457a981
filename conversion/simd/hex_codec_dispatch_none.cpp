// The hex codec's dispatch where the build has no vector kernels (processors
// other than x86, or QUORVANE_HEX_SIMD off): every path is the portable code.
#include "conversion/simd/hex_codec_dispatch.h"

namespace qv::hex_simd {

bool Supported(THexPath) {
  return false;
}

THexPath BestPath() {
  return THexPath::Plain;
}

bool Encode(THexPath, const uint8_t*, char*, int32_t, bool) {
  return false;
}

bool Decode(THexPath, const char*, uint8_t*, int32_t, bool, int32_t&) {
  return false;
}

}  // namespace qv::hex_simd
