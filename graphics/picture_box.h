// The drawing rules of a picture box, kept apart from any widget so they can
// be tested without one: the picture is stretched to the whole client area
// (aspect ratio not kept), icons show unscaled at the top left, metafiles in
// the area less one pixel at the right and bottom, and nothing is drawn
// without a picture; an opaque box whose picture draws nothing shows the
// background it is given. Progress reports are ignored.
#pragma once

#include <functional>

#include <QRgb>

#include "graphics/canvas.h"
#include "graphics/picture.h"
#include "graphics/rect.h"

namespace qv {

// Draws the held picture into `client` (the box's whole client area, origin
// at its top left). Draws nothing when no picture is held. Failures of the
// picture's drawing (EJPEG from a first decode) pass on to the caller.
void DrawPictureBox(TPicture& picture, TCanvas& canvas, const TRect& client);

// The box's reaction to a change of its container: the held picture, unless
// it is a metafile or an icon, takes the box's `transparent` setting.
void ApplyPictureBoxChange(TPicture& picture, bool transparent = false);

// Whether the box paints every pixel of its client area itself: only when a
// picture is held and it is not transparent. Otherwise the parent shows behind.
bool PictureBoxOpaque(const TPicture& picture);

// The logic of a picture box: its container with the rules wired up. The
// hosting widget sets OnRepaint (mark the whole box for repainting), asks
// Opaque() to decide whether the parent must paint behind, and calls Paint.
class TPictureBox {
 public:
  TPictureBox();
  TPictureBox(const TPictureBox&) = delete;
  TPictureBox& operator=(const TPictureBox&) = delete;

  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }

  // Display settings as the window uses them.
  bool Transparent() const { return false; }

  bool Opaque() const { return PictureBoxOpaque(picture_); }
  // Paints the box. An opaque box first covers its area with `background`
  // (the colour its parent shows there), so that a picture that draws nothing,
  // or fails part way, shows that colour and never what the box showed before.
  // Failures of the drawing pass on to the caller once the area is covered.
  void Paint(TCanvas& canvas, const TRect& client, QRgb background);

  // Called after every change of the container, once the rules are applied.
  std::function<void()> OnRepaint;

 private:
  TPicture picture_;
};

}  // namespace qv
