// What the picture's decoder passes over in silence: the warnings libjpeg
// raises for damaged or cut-short data, which a picture still draws through.
#pragma once

#include <cstdint>

namespace qv {

class TJPEGImage;

struct TDecodeWarnings {
  int32_t Count = 0;  // every warning of the decode
  // The data ran out before an end-of-image marker. A file cut short always
  // does this; so does a complete one that only lacks the marker.
  bool NoEndMarker = false;
  // The decoder still wanted picture data where the data ended, at the end of
  // the bytes or at an end-of-image marker: rows were filled in. (Arithmetic
  // coding gives no such sign: its decoder reads zeros past the end, which a
  // complete file may rely on.)
  bool CutShort = false;
};

// Decodes the picture's bytes as its own decode does, with the same settings,
// size checks and errors, at 1/8 of the size since no pixel is kept, counting
// warnings. Stops where the data ends early: nothing after that can fail, and
// fill is all that would follow. Raises what the picture's decode raises.
TDecodeWarnings CountDecodeWarnings(const TJPEGImage& picture);

}  // namespace qv
