// What the picture's decoder passes over in silence: the warnings libjpeg
// raises for damaged or cut-short data, which a picture still draws through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

struct TDecodeWarnings {
  int32_t Count = 0;       // every warning of the decode
  bool EndsEarly = false;  // the data ran out before the picture was complete
};

// Decodes the JPEG bytes once more, with the picture's source and decoder
// settings, counting warnings. Fails with EJPEG like the picture's decode.
TDecodeWarnings CountDecodeWarnings(const uint8_t* bytes, size_t size);

}  // namespace qv
