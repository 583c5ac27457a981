// An icon picture: one image of an icon file, shown at its own size in the
// top-left corner of the drawing rectangle, with its transparent parts.
#pragma once

#include "graphics/file_bytes_graphic.h"

namespace qv {

// Keeps its file's bytes (TFileImageGraphic): written back as read, no
// clipboard exchange, the size its image's (32-bit with alpha).
class TIcon : public TFileImageGraphic {
  QV_GRAPHIC_CLASS(TIcon)

 public:
  // The size the screen uses for icons; of several images, the one nearest to it shows.
  static constexpr int kStandardIconSize = 32;

  TIcon()
      : TFileImageGraphic("Icons cannot be exchanged through the clipboard",
                          "Cannot change the size of an icon") {}

  // TGraphic
  // Draws the image unscaled with its top-left corner at the rectangle's.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  // Icons always let the background show around and through them.
  bool Transparent() const override { return true; }
  // Reads the whole stream: a 6-byte header whose type is 0 or 1 (else
  // EInvalidGraphic "Icon image is not valid"), the directory and the chosen
  // image. Data shorter than the header or directory announce fails with
  // EReadError "Stream read error"; an image that cannot be read, with "Icon
  // image is not valid"; one over the pixel budget, with EOutOfMemory. On
  // failure nothing changes.
  void ReadFromStream(TStream& stream) override;
};

}  // namespace qv
