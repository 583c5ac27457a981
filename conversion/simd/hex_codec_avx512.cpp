// The AVX-512 kernels of the hex codec (AVX512BW, and AVX512VBMI where byte
// permutes replace several steps). hex_codec_dispatch_x86.cpp calls them only
// where the processor has them. Each gives exactly the plain code's result, the
// stopping pair included.
//
// Masked loads and stores do the ends: a masked-off byte is neither read nor
// written, and cannot fault. As in the other decoders, no character past the
// stop may be read where it could fault: a block is read whole only when it
// lies within the page of its first character, or when every character up to
// that page's end is a digit, which shows the text goes on into the next page.
// The sanitizer cannot know this, hence no_sanitize_address.
//
// The kernels are written once (hex_codec_avx512.inc) and compiled twice, each
// function with its instruction set's target attribute, so that nothing of
// VBMI reaches the BW path.

// GCC 12's broadcast and permute intrinsics pass an undefined vector as the
// unused merge source, which it then reports as (maybe) uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "conversion/simd/hex_codec_x86.h"

#define QV_NO_ASAN __attribute__((no_sanitize_address))

namespace qv::hex_x86 {

#define QV_TARGET __attribute__((target("avx512f,avx512bw")))
namespace avx512bw {
namespace {
#define QV_HEX_VBMI 0
#include "conversion/simd/hex_codec_avx512.inc"
#undef QV_HEX_VBMI
}  // namespace
}  // namespace avx512bw

QV_TARGET void EncodeAvx512Bw(const uint8_t* bytes, char* text, int32_t count, bool stream) {
  avx512bw::Encode(bytes, text, count, stream);
}

QV_TARGET QV_NO_ASAN int32_t DecodeAvx512Bw(const char* text, uint8_t* bytes, int32_t count,
                                            bool stream) {
  return avx512bw::Decode(text, bytes, count, stream);
}
#undef QV_TARGET

#define QV_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
namespace avx512vbmi {
namespace {
#define QV_HEX_VBMI 1
#include "conversion/simd/hex_codec_avx512.inc"
#undef QV_HEX_VBMI
}  // namespace
}  // namespace avx512vbmi

QV_TARGET void EncodeAvx512Vbmi(const uint8_t* bytes, char* text, int32_t count, bool stream) {
  avx512vbmi::Encode(bytes, text, count, stream);
}

QV_TARGET QV_NO_ASAN int32_t DecodeAvx512Vbmi(const char* text, uint8_t* bytes, int32_t count,
                                              bool stream) {
  return avx512vbmi::Decode(text, bytes, count, stream);
}
#undef QV_TARGET

}  // namespace qv::hex_x86
