// A bitmap: rows of 8-bit palette indices, 24-bit blue-green-red or 32-bit
// blue-green-red-alpha pixels, row 0 on top, each row padded to 4 bytes. The
// pixels live in a QImage, whose copy-on-write sharing keeps an atomic count, so a
// copy may be released on another thread while the original is drawn.
#pragma once

#include <cstdint>

#include <QImage>

#include "graphics/graphic.h"
#include "graphics/picture_budget.h"

namespace qv {

enum class TPixelFormat : uint8_t { pf8bit, pf24bit, pf32bit };
using enum TPixelFormat;

class TBitmap : public TGraphic {
  QV_GRAPHIC_CLASS(TBitmap)

 public:
  TBitmap() = default;

  // Bytes of a bitmap of this size and format (rows padded to 4 bytes), in 64
  // bits, saturating rather than overflowing (PictureBytes).
  static int64_t ByteSize(int64_t width, int64_t height, TPixelFormat format);

  TPixelFormat PixelFormat() const { return format_; }
  // Changes the pixel format; the size stays and the pixels become zero.
  void SetPixelFormat(TPixelFormat format);
  // Resizes to zero-filled pixels. Over the picture budget, or when the memory
  // cannot be had, fails with EOutOfMemory "Out of memory" and nothing changes.
  void SetSize(int32_t width, int32_t height);

  // Row `row` (0 is the top row); `row` must lie in 0..Height()-1.
  uint8_t* ScanLine(int32_t row);
  const uint8_t* ScanLine(int32_t row) const;
  int64_t BytesPerLine() const { return image_.bytesPerLine(); }

  // The palette; for 8-bit pixels it gives the colour of each index (indices
  // past its end show black). The bitmap keeps the handle it is given.
  TPaletteHandle Palette() const { return palette_; }
  void SetPalette(TPaletteHandle palette);

  // The pixels as a QImage (null when empty), for drawing and file writers.
  const QImage& Image() const { return image_; }
  // Takes the pixels of `image`: indexed images stay 8-bit with their colour
  // table as palette, images with alpha become 32-bit, all others 24-bit. The
  // size limit of SetSize applies.
  void AssignImage(const QImage& image);

  // The bitmap as a device-independent bitmap: info header, colours, rows bottom-up.
  TClipboardData ToDIB() const;

  // TGraphic
  void AssignInto(TPersistent& target) override;
  // A TBitmap source is copied (pixels shared until either side writes).
  void AssignFrom(TPersistent* source) override;
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  bool IsEmpty() const override { return width_ == 0 || height_ == 0; }
  int32_t Height() const override { return height_; }
  TPaletteHandle PaletteHandle() override { return palette_; }
  int32_t Width() const override { return width_; }
  void SetHeight(int32_t height) override { SetSize(width_, height); }
  void SetPaletteHandle(TPaletteHandle palette) override { SetPalette(std::move(palette)); }
  void SetWidth(int32_t width) override { SetSize(width, height_); }
  // A BMP file from the position to the end. An empty stream gives an empty
  // bitmap; data not starting with "BM", or with headers that make no sense,
  // fails with EInvalidGraphic "Bitmap image is not valid"; data shorter than
  // its headers announce, with EReadError "Stream read error"; a picture over
  // the pixel budget, with EOutOfMemory. On failure the bitmap is unchanged.
  void ReadFromStream(TStream& stream) override;
  // Writes a BMP file (file header and ToDIB()); an empty bitmap writes nothing.
  void WriteToStream(TStream& stream) override;
  // Takes kClipboardDIB data; other formats fail with EInvalidGraphic.
  void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                         TPaletteHandle palette) override;
  void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                        TPaletteHandle& palette) override;

 private:
  void ApplyPaletteToImage();

  QImage image_;
  TPixelFormat format_ = pf24bit;
  int32_t width_ = 0;
  int32_t height_ = 0;
  TPaletteHandle palette_;
};

}  // namespace qv
