// The JPEG picture's pixel work on the libjpeg glue (jpeg_library.h): the
// header facts, the decode into a bitmap and the encode from pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "conversion/jpeg_library.h"
#include "graphics/palette.h"
#include "graphics/picture_budget.h"

namespace qv {

class TBitmap;
class TGraphic;
class TStream;

namespace jpeg {

// What libjpeg allocates for the decode `d` is set up for (header read, output
// dimensions calculated): the whole-image coefficients of a file of several
// scans (two bytes a sample, at full size whatever the scale), the two-pass
// colour quantiser's copy of the output, and room for its rows. Saturates.
int64_t DecodeBufferBytes(jpeg_decompress_struct& d);

// The size checks every decode passes before libjpeg or the bitmap allocates
// anything, for the output `d` is set up for (header read, scale set): the
// bitmap of `bits_per_pixel` and libjpeg's buffers (DecodeBufferBytes) within
// the picture budget, and libjpeg capped at what the bitmap leaves. A few
// hundred bytes may declare 65500 x 65500 pixels. Raises EOutOfMemory.
void AdmitDecode(jpeg_decompress_struct& d, int bits_per_pixel);

// Header facts of a JPEG byte block.
struct THeaderFacts {
  int32_t Width = 0;
  int32_t Height = 0;
  bool Progressive = false;  // more than one scan
  int32_t Components = 0;
  J_COLOR_SPACE ColorSpace = JCS_UNKNOWN;  // as the file declares it
  // Sampling factors of the first four components, horizontal and vertical.
  uint8_t HSampling[4] = {};
  uint8_t VSampling[4] = {};
};

// Reads the header of `size` bytes (size > 0), without a progress monitor.
// Fails with EJPEG as TDecoder::Run does.
THeaderFacts ReadHeader(const uint8_t* bytes, size_t size);

// How a picture wants its pixels.
struct TDecodeSettings {
  int ScaleShift = 0;  // 1/2^ScaleShift of the full size, 0..3
  // Below 8: decoded at Eighths/8 of the size to be drawn smaller. The size
  // checks still count the picture at ScaleShift, so that a picture draws
  // exactly when its full decode would pass them and fails as that would.
  int Eighths = 8;
  bool BlockSmoothing = true;
  bool FastDct = false;
  bool Gray = false;      // one grey byte a pixel whatever the file holds
  bool EightBit = false;  // colour reduced to a palette
};

// For a caller that watches a decode rather than keeps its pixels: the
// library's warnings go to `Warning` from the header on (the decompressor's
// client_data is `Client`), and with `StopAtDataEnd` the decode stops as
// TDecoder::StopAtDataEnd says.
struct TDecodeWatch {
  void (*Warning)(j_common_ptr cinfo, int level) = nullptr;
  void* Client = nullptr;
  bool StopAtDataEnd = false;
};

// A decode into a bitmap: three-byte blue-green-red pixels, or one-byte palette
// indices for grey and for colour reduced to a palette (of 236 colours made
// for the picture, leaving room for the screen's own 20, or a given one).
// Fails with EJPEG as TDecoder::Run does.
class TBitmapDecoder {
 public:
  // Reads the header and applies `settings`. With an `owner`, progress
  // notices go to that picture.
  TBitmapDecoder(const uint8_t* bytes, size_t size, TGraphic* owner,
                 const TDecodeSettings& settings, const TDecodeWatch* watch = nullptr);

  // One byte a pixel: the bitmap to decode into is pf8bit, else pf24bit.
  bool EightBit() const { return eight_; }
  // Colour reduced to a palette (not grey).
  bool PaletteColour() const { return palette_colour_; }
  // Reduces colour to the first 256 entries of `palette` instead of a palette
  // made for the picture. Only when PaletteColour().
  void UseFixedPalette(const TPalette& palette);

  // Checks the output size against the picture budget before anything is
  // allocated for it (AdmitDecode), sizes `bitmap`, gives it the palette made
  // for the picture (then calls `palette_made`), and decodes the rows into it.
  // A failure leaves the rows decoded so far. Once the data has ended early,
  // 24-bit rows of a single-scan Huffman file that can only repeat the fill
  // are copied, not decoded.
  void DecodeInto(TBitmap& bitmap, const std::function<void()>& palette_made);

 private:
  TDecoder decoder_;
  int eighths_ = 8;
  bool eight_ = false;
  bool palette_colour_ = false;
  bool fixed_palette_ = false;
};

// Encodes 24-bit blue-green-red rows (row 0 on top, `stride` bytes apart) as a
// baseline JFIF at `quality` and writes it at `out`'s position in 4096-byte
// pieces. Progress notices go to `owner` when given.
void EncodeBGR(const uint8_t* pixels, int64_t stride, int32_t width, int32_t height, int quality,
               TGraphic* owner, TStream& out);

}  // namespace jpeg
}  // namespace qv
