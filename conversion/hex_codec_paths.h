// The hex codec's paths, one per instruction set, named below the codec so
// that its dispatch (simd/) can take them without including the codec.
#pragma once

namespace qv {

// Which instruction-set path the dispatcher uses; tests force each in turn.
// AVX512VBMI is the AVX512BW path with byte permutes where they save work.
enum class THexPath { Plain, SSE2, SSSE3, AVX2, AVX512BW, AVX512VBMI };

}  // namespace qv
