// Between a JPEG picture and hex text: the picture's JPEG bytes, unchanged, as
// upper-case digit pairs, and back. Neither looks at the pixels.
#pragma once

#include <string>

namespace qv {

class TJPEGImage;

// Sets `text` to the 2N hex digits of the N bytes the picture writes for itself
// (encoding a bitmap-only picture first). A picture of 2^30 bytes or more is
// refused with EOutOfMemory "Out of memory" before any text is made. On any
// failure `text` is unchanged.
void JPEGToHex(TJPEGImage& picture, std::string& text);

// Loads into `picture` the L/2 bytes decoded from the L characters of `text`
// (an odd last character is ignored) and reads their header. Decoding stops at
// the first pair that is not two hex digits; the bytes from there on are zero.
// Fails as the picture's load does (EJPEG for bytes without a JPEG header);
// text of 2^31 characters or more fails with EOutOfMemory.
void HexToJPEG(const std::string& text, TJPEGImage& picture);

}  // namespace qv
