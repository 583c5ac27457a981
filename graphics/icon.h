// An icon picture: one image of an icon file, shown at its own size in the
// top-left corner of the drawing rectangle, with its transparent parts.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QImage>

#include "graphics/graphic.h"

namespace qv {

class TIcon : public TGraphic {
  QV_GRAPHIC_CLASS(TIcon)

 public:
  // The size the screen uses for icons; of several images, the one nearest to it shows.
  static constexpr int kStandardIconSize = 32;

  TIcon() = default;

  // The image shown, 32-bit with alpha (null when empty).
  const QImage& Image() const { return image_; }

  // TGraphic
  // From a TIcon: shares its bytes and image.
  void AssignFrom(TPersistent* source) override;
  // Draws the image unscaled with its top-left corner at the rectangle's.
  void DrawInto(TCanvas& canvas, const TRect& rect) override;
  bool IsEmpty() const override { return image_.isNull(); }
  int32_t Height() const override { return image_.height(); }
  int32_t Width() const override { return image_.width(); }
  // Icons always let the background show around and through them.
  bool Transparent() const override { return true; }
  // An icon's size is its image's: EInvalidGraphicOperation.
  void SetHeight(int32_t height) override;
  void SetWidth(int32_t width) override;
  // Reads the whole stream: a 6-byte header whose type is 0 or 1 (else
  // EInvalidGraphic "Icon image is not valid"), the directory and the chosen
  // image. Data shorter than the header or directory announce fails with
  // EReadError "Stream read error"; an image that cannot be read, with "Icon
  // image is not valid"; one over the pixel budget, with EOutOfMemory. On
  // failure nothing changes.
  void ReadFromStream(TStream& stream) override;
  // Writes the icon file as read.
  void WriteToStream(TStream& stream) override;
  // No clipboard exchange for icons: EInvalidGraphicOperation.
  void ReadFromClipboard(TClipboardFormat format, const TClipboardData& data,
                         TPaletteHandle palette) override;
  void WriteToClipboard(TClipboardFormat& format, TClipboardData& data,
                        TPaletteHandle& palette) override;

 private:
  QByteArray bytes_;
  QImage image_;
};

}  // namespace qv
