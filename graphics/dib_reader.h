// Reading device-independent bitmaps: BMP files and the bitmaps inside icons.
// Our own code checks every header field against the bytes present (64-bit
// arithmetic) and the pixel budget; only then does Qt's reader decode the pixels.
#pragma once

#include <cstdint>

#include <QImage>

#include "graphics/picture_budget.h"

namespace qv {

// Qt's readers may hand back 32-bit pixels for any file, so the headers are
// checked as 32-bit pictures (CheckPictureSize), before anything is allocated.

// Decodes a whole BMP file (`size` > 0 bytes). A file shorter than its headers
// announce raises EReadError "Stream read error"; anything else wrong raises
// EInvalidGraphic `invalid_text`; a picture over the budget raises EOutOfMemory.
QImage ReadBmpFile(const uint8_t* data, int64_t size, const char* invalid_text);

// Decodes one icon image (a DIB with XOR bits and AND mask, or a PNG) of
// `size` bytes into a 32-bit image with alpha. Anything inconsistent raises
// EInvalidGraphic `invalid_text`; over the budget, EOutOfMemory.
QImage ReadIconImage(const uint8_t* data, int64_t size, const char* invalid_text);

// Decodes PNG bytes with Qt's reader after checking the budget. Returns a null
// image and sets `status` (Qt's reader error number) when the bytes are refused.
QImage ReadPngBytes(const uint8_t* data, int64_t size, int& status);

}  // namespace qv
