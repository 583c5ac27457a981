// The scale at which a JPEG picture is decoded to be drawn into a box. libjpeg
// decodes at n/8 of the size directly in its inverse DCT, which saves most of
// the pixel work, and a box of a few hundred pixels never shows more than
// that: the smallest n/8 whose output still covers the box loses nothing the
// stretched drawing would keep.
#pragma once

#include <cstdint>

namespace qv::jpeg {

// libjpeg's output side at n/8 of `side` (1 <= eighths <= 8): rounded up.
int64_t ScaledSide(int64_t side, int eighths);

// Eighths of the full size (1..8) at which a picture of width x height is
// decoded for a box of box_width x box_height device pixels: the smallest n
// whose output covers the box in both directions. 8, the full size, when the
// box is as wide or as high as the picture.
int DisplayEighths(int64_t width, int64_t height, int64_t box_width, int64_t box_height);

}  // namespace qv::jpeg
