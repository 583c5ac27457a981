// Between the hex codec's entry points and its vector kernels: which paths the
// processor runs and the call into a path's kernel. The build links one
// definition: hex_codec_dispatch_x86.cpp with the x86 kernels, or
// hex_codec_dispatch_none.cpp, which has none and declines every path.
#pragma once

#include <cstdint>

#include "conversion/hex_codec_paths.h"

namespace qv::hex_simd {

// Whether the build has a kernel for the vector path `path` and the processor
// runs it; false for THexPath::Plain.
bool Supported(THexPath path);
// The fastest path the processor runs; THexPath::Plain where none is.
THexPath BestPath();

// Run `path`'s kernel and return true, or return false without touching
// anything when the build has no kernel for `path`. Contracts of
// BytesToHexText and HexTextToBytes (hex_codec.h), count > 0; `stream` writes
// with streaming stores. The caller has checked that the processor runs `path`.
bool Encode(THexPath path, const uint8_t* bytes, char* text, int32_t count, bool stream);
bool Decode(THexPath path, const char* text, uint8_t* bytes, int32_t count, bool stream,
            int32_t& done);

}  // namespace qv::hex_simd
