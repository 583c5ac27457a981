#include "graphics/picture_box.h"

#include "graphics/icon.h"
#include "graphics/metafile/metafile.h"

namespace qv {

void DrawPictureBox(TPicture& picture, TCanvas& canvas, const TRect& client) {
  TGraphic* graphic = picture.HeldGraphic();
  if (graphic == nullptr) return;
  // Stretched to the whole area, whatever the picture's own size or aspect.
  const TRect target{0, 0, client.Width(), client.Height()};
  graphic->DrawInto(canvas, target);
}

void ApplyPictureBoxChange(TPicture& picture, bool transparent) {
  TGraphic* graphic = picture.HeldGraphic();
  // Metafiles and icons keep their own transparency.
  if (graphic == nullptr || dynamic_cast<TMetafile*>(graphic) != nullptr ||
      dynamic_cast<TIcon*>(graphic) != nullptr) {
    return;
  }
  graphic->SetTransparent(transparent);
}

bool PictureBoxOpaque(const TPicture& picture) {
  const TGraphic* graphic = picture.HeldGraphic();
  return graphic != nullptr && !graphic->Transparent();
}

void TPictureBox::Paint(TCanvas& canvas, const TRect& client, QRgb background) {
  // An opaque box is not painted behind: without this fill a picture that
  // fails to decode, or an empty one, would leave the previous one on screen.
  if (Opaque()) canvas.Painter().fillRect(client.ToQRect(), QColor::fromRgb(background));
  DrawPictureBox(picture_, canvas, client);
}

TPictureBox::TPictureBox() {
  picture_.OnChange = [this](TPersistent*) {
    ApplyPictureBoxChange(picture_, Transparent());
    if (OnRepaint) OnRepaint();
  };
  // Incremental display is off: progress reports change nothing on screen.
  picture_.OnProgress = nullptr;
}

}  // namespace qv
