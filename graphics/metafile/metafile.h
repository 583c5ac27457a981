// A metafile picture: a placeable Windows metafile or an enhanced metafile,
// decided by the content, never by the file's extension. The bytes are kept as
// read and played onto the canvas at every draw.
#pragma once

#include <cstdint>

#include "graphics/file_bytes_graphic.h"

namespace qv {

// Keeps its file's bytes (TFileBytesGraphic; for a Windows metafile, with its
// placeable header): written back as read, no clipboard exchange.
class TMetafile : public TFileBytesGraphic {
  QV_GRAPHIC_CLASS(TMetafile)

 public:
  TMetafile() : TFileBytesGraphic("Metafiles cannot be exchanged through the clipboard") {}

  // True when the held metafile is an enhanced one.
  bool Enhanced() const { return enhanced_; }

  // TGraphic
  // From a TMetafile: shares its bytes.
  void AssignFrom(TPersistent* source) override;
  // Plays the records into `rect` less one pixel at the right and bottom, scaled to fit.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  bool IsEmpty() const override { return bytes_.isEmpty(); }
  // The picture's size in pixels at 96 per inch, from the header (or as set).
  int32_t Height() const override { return height_; }
  int32_t Width() const override { return width_; }
  // Metafiles draw only their records: what lies between shows through.
  bool Transparent() const override { return true; }
  void SetHeight(int32_t height) override;
  void SetWidth(int32_t width) override;
  // More than 100 bytes starting with an enhanced-metafile header record are
  // an enhanced metafile, which fails with EReadError "Stream read error" when
  // shorter than its header says; anything else needs the 22-byte placeable
  // header (key and checksum). Otherwise, or when the records do not chain
  // up, EInvalidGraphic "Metafile is not valid". On failure nothing changes.
  void ReadFromStream(TStream& stream) override;

 private:
  bool enhanced_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace qv
