// The one size check every picture passes before its pixels are allocated: a
// header may claim any size, and a promise of memory the machine lacks ends in
// a killed process rather than an error. The budget follows the memory the
// process can really have, so that photos of a few hundred megapixels display
// while a few bytes that claim 65500 x 65500 pixels are refused at once.
#pragma once

#include <cstdint>

namespace qv {

// Memory one picture may take, its pixels and its decoder's buffers together,
// for a process that can have `limit` bytes in all: a reserve for the rest of
// the program (a quarter, at least 256 MiB) comes off, and the rest is halved,
// since each of the window's two boxes may hold a picture that size.
int64_t PictureBudgetFor(uint64_t limit);
// The same for this process now (ProcessMemoryLimit), at most the cap below.
int64_t PictureBudget();
// Caps PictureBudget at `bytes` (0 lifts the cap), for a host that limits
// memory its own way, such as a fuzzing harness with an allocation limit.
void SetPictureBudgetCap(int64_t bytes);

// Bytes of width x height pixels of `bits_per_pixel` (1..64), rows padded to 4
// bytes; 0 when a side is 0 or negative. Saturates at INT64_MAX instead of
// overflowing, whatever the sides.
int64_t PictureBytes(int64_t width, int64_t height, int bits_per_pixel);

// Raises EOutOfMemory "Out of memory" when a side is negative or the picture
// takes more than PictureBudget().
void CheckPictureSize(int64_t width, int64_t height, int bits_per_pixel);

}  // namespace qv
