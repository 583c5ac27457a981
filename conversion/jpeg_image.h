// The JPEG picture. It keeps the JPEG byte stream exactly as loaded (shared
// by count with its copies), reads only the header on load, decodes on the
// first need of pixels into a cached bitmap, and writes the kept bytes back
// unchanged. A copy made on the UI thread may be written and released on a
// worker thread while the UI thread keeps using the original.
#pragma once

#include <cstdint>
#include <memory>

#include "conversion/jpeg_data.h"
#include "conversion/jpeg_settings.h"
#include "graphics/bitmap.h"
#include "graphics/graphic.h"

namespace qv {

namespace jpeg {
struct TDecodeSettings;
}  // namespace jpeg

class TJPEGImage : public TGraphic {
  QV_GRAPHIC_CLASS(TJPEGImage)

 public:
  // New, empty picture with the settings of DefaultJPEGSettings.
  TJPEGImage();
  ~TJPEGImage() override;

  // The bitmap cache, decoding the bytes into it on first need. 24-bit
  // blue-green-red, or 8-bit with a palette of at most 236 colours for
  // od8Bit and for grayscale pictures; CMYK and YCCK pictures become 24-bit.
  // A failed decode raises once (EJPEG, or EOutOfMemory for a bitmap over the
  // picture budget) and leaves the empty or partly filled bitmap cached,
  // so later calls return it without decoding or raising again.
  TBitmap& DecodedBitmap();
  // The bitmap to draw stretched into a box of box_width x box_height device
  // pixels: the bitmap cache when there is one or when the box is as large as
  // the picture in either direction, else a decode at the smallest n/8 of the
  // size that covers the box (jpeg_display_scale.h), cached until a box needs
  // another scale. Raises as DecodedBitmap does, at the same moments; after a
  // failure the bitmap it left is what every later call returns.
  TBitmap& DisplayBitmap(int32_t box_width, int32_t box_height);
  // Takes exactly `count` bytes from `stream` as the new byte block and reads
  // their header (count 0 reads none). A header that cannot be read raises
  // EJPEG; the picture then keeps the bytes with width and height 0.
  void ReadBytes(TStream& stream, int64_t count);
  // Makes the byte block from the bitmap when there is none (EncodeBitmap).
  void EnsureEncoded();
  // Encodes the bitmap (quality SaveQuality, baseline) into a new byte block;
  // without a bitmap, or with an empty one, the block is empty.
  void EncodeBitmap();

  // The shared data (never none).
  const TJPEGData& SharedData() const { return *data_; }
  bool HasBitmap() const { return bitmap_ != nullptr; }

  // Settings, fixed at construction; Progressive is refreshed by each load.
  bool BlockSmoothing() const { return block_smoothing_; }
  bool GrayOutput() const { return gray_output_; }
  TJPEGPixelFormat OutputDepth() const { return output_depth_; }
  uint8_t SaveQuality() const { return save_quality_; }
  bool ScanDisplay() const { return scan_display_; }
  bool Progressive() const { return progressive_; }
  TJPEGPerformance DecodePriority() const { return decode_priority_; }
  uint8_t DecodeScale() const { return decode_scale_; }
  // What the settings ask of the decoder (jpeg_codec.h), at eighths/8 of the size.
  jpeg::TDecodeSettings DecodeSettings(int eighths = 8) const;

  // TGraphic
  // Into a TBitmap: the target copies DecodedBitmap().
  void AssignInto(TPersistent& target) override;
  // From a TJPEGImage: shares its data (and copies its bitmap, if any); from a
  // TBitmap: copies it, to be encoded when written. Settings are not copied.
  void AssignFrom(TPersistent* source) override;
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  // Only JPEG pictures compare: equal bytes, or the same shared data.
  bool SameAs(TGraphic* other) override;
  // Not empty once a byte block is held, even an empty one.
  bool IsEmpty() const override;
  int32_t Height() const override;
  TPaletteHandle PaletteHandle() override;
  int32_t Width() const override;
  // A 4-byte little-endian count N, then N bytes (ReadBytes).
  void ReadFormData(TStream& stream) override;
  // Always EInvalidGraphicOperation "Cannot change the size of a JPEG image".
  void SetHeight(int32_t height) override;
  void SetPaletteHandle(TPaletteHandle palette) override;
  void SetWidth(int32_t width) override;
  // A 4-byte little-endian count, then the byte block.
  void WriteFormData(TStream& stream) override;
  // Everything from the stream's position to its end (ReadBytes).
  void ReadFromStream(TStream& stream) override;
  // EnsureEncoded, then the whole byte block at the stream's position, unchanged.
  void WriteToStream(TStream& stream) override;
  void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                         TPaletteHandle palette) override;
  void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                        TPaletteHandle& palette) override;

 private:
  // Drops the share of the current data and starts a new, empty one.
  void NewData();
  // Decodes at eighths/8 of the size (8: full) into `bitmap`.
  void Decode(TBitmap& bitmap, int eighths);
  void DropDisplayBitmap();

  TJPEGData* data_;
  std::unique_ptr<TBitmap> bitmap_;
  // The smaller decode for drawing, while there is no bitmap cache; kept
  // apart from it, since Width, Height and every copy mean the full picture.
  std::unique_ptr<TBitmap> display_;
  int display_eighths_ = 8;
  bool display_failed_ = false;
  TPaletteHandle screen_palette_;
  bool block_smoothing_;
  bool gray_output_;
  TJPEGPixelFormat output_depth_;
  uint8_t save_quality_;
  bool scan_display_;
  bool progressive_;
  TJPEGPerformance decode_priority_;
  uint8_t decode_scale_;
};

}  // namespace qv
