// A drawing surface: a QPainter that the canvas does not own, plus the
// picture drawing operations the pictures need.
#pragma once

#include <QPainter>

#include "graphics/rect.h"

namespace qv {

class TBitmap;

class TCanvas {
 public:
  // `painter` must be active and outlive the canvas.
  explicit TCanvas(QPainter& painter) : painter_(painter) {}

  QPainter& Painter() { return painter_; }
  // Device pixels per unit of the rectangles drawn into (above 1 on a
  // high-density screen).
  double DevicePixelRatio() const;

  // Draws the whole bitmap scaled into `rect`, repeating or dropping whole rows
  // and columns (nearest neighbour, no smoothing). An empty bitmap or rectangle draws nothing.
  void StretchDraw(const TRect& rect, const TBitmap& bitmap);

 private:
  QPainter& painter_;
};

}  // namespace qv
