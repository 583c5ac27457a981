// The one size check every picture passes before its pixels are allocated: a
// header may claim any size, and a promise of memory the machine lacks ends in
// a killed process rather than an error.
#pragma once

#include <cstdint>

namespace qv {

// Largest pixel block of one picture (256 MiB); libjpeg's own buffers get the same.
inline constexpr int64_t kMaxPictureBytes = int64_t{256} << 20;

// Bytes of width x height pixels of `bits_per_pixel` (1..64), rows padded to 4
// bytes; 0 when a side is 0 or negative. Saturates at INT64_MAX instead of
// overflowing, whatever the sides.
int64_t PictureBytes(int64_t width, int64_t height, int bits_per_pixel);

// Raises EOutOfMemory "Out of memory" when a side is negative or the picture
// takes more than kMaxPictureBytes.
void CheckPictureSize(int64_t width, int64_t height, int bits_per_pixel);

}  // namespace qv
