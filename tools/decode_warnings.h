// What the picture's decoder passes over in silence: the warnings libjpeg
// raises for damaged or cut-short data, which a picture still draws through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

struct TDecodeWarnings {
  int32_t Count = 0;  // every warning of the decode
  // The data ran out before an end-of-image marker. A file cut short always
  // does this; so does a complete one that only lacks the marker.
  bool NoEndMarker = false;
  // ... and the decoder still wanted picture data then: rows were filled in.
  // (Arithmetic-coded and progressive pictures cut between scans give no
  // such sign.)
  bool CutShort = false;
};

// Decodes the JPEG bytes once more, with the picture's source and decoder
// settings, counting warnings. Fails with EJPEG like the picture's decode.
TDecodeWarnings CountDecodeWarnings(const uint8_t* bytes, size_t size);

}  // namespace qv
