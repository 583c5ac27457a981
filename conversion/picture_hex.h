// Between a JPEG picture and hex text: the picture's JPEG bytes, unchanged, as
// upper-case digit pairs, and back. Neither looks at the pixels. The window
// converts through the text in memory, quorvane-hex through files and pipes;
// both take their limits from here.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace qv {

class TJPEGImage;
class TStream;

// Text lengths are 32-bit signed: the longest text that turns back into a
// picture, and the largest picture whose text fits in that.
inline constexpr int64_t kMaxHexTextLength = std::numeric_limits<int32_t>::max();
inline constexpr int64_t kMaxHexPictureBytes = (int64_t{1} << 30) - 1;

// Sets `text` to the 2N hex digits of the N bytes the picture writes for itself
// (encoding a bitmap-only picture first). A picture of more than
// kMaxHexPictureBytes is refused with EOutOfMemory "Out of memory" before any
// text is made. On any failure `text` is unchanged.
void JPEGToHex(TJPEGImage& picture, std::string& text);
// The same text written into `out` piece by piece, so that neither the bytes
// nor their text are held whole; any size. `out`'s failures pass on.
void JPEGToHex(TJPEGImage& picture, TStream& out);

// Loads into `picture` the L/2 bytes decoded from the L characters of `text`
// (an odd last character is ignored) and reads their header. Decoding stops at
// the first pair that is not two hex digits; the bytes from there on are zero.
// Fails as the picture's load does (EJPEG for bytes without a JPEG header);
// text longer than kMaxHexTextLength fails with EOutOfMemory.
void HexToJPEG(std::string_view text, TJPEGImage& picture);

// Where the decoding of a text stopped: the first pair that is not two hex
// digits, counted in pairs from the start, when Stopped.
struct THexTextStop {
  bool Stopped = false;
  int64_t PairsDecoded = 0;
};

// The same, saying where the decoding stopped; `stop` is filled in whether
// the load succeeds or fails.
void HexToJPEG(std::string_view text, TJPEGImage& picture, THexTextStop& stop);

// HexToJPEG over the `length` characters of `text` from its position, decoded
// as they are read; text that ends early fails with EReadError. `stop` is
// filled in whether the load succeeds or fails, so that a caller can say where
// the text went wrong either way.
void HexToJPEG(TStream& text, int64_t length, TJPEGImage& picture, THexTextStop& stop);

}  // namespace qv
