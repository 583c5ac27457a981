// Reading device-independent bitmaps: BMP files and the bitmaps inside icons.
// Our own code checks every header field against the bytes present (64-bit
// arithmetic) and the pixel budget; only then does Qt's reader decode the pixels.
#pragma once

#include <cstdint>

#include <QImage>

namespace qv {

// Largest picture we decode: 256 MiB of 32-bit pixels. Checked from the
// headers, before anything is allocated.
inline constexpr int64_t kMaxPicturePixelBytes = int64_t{256} << 20;

// Raises EOutOfMemory "Out of memory" when a width x height picture of 32-bit
// pixels exceeds kMaxPicturePixelBytes (or a side is negative).
void CheckPictureBudget(int64_t width, int64_t height);

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
