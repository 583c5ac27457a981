#include "graphics/canvas.h"

#include "graphics/bitmap.h"

namespace qv {

double TCanvas::DevicePixelRatio() const {
  const QPaintDevice* device = painter_.device();
  return device != nullptr ? device->devicePixelRatioF() : 1.0;
}

void TCanvas::StretchDraw(const TRect& rect, const TBitmap& bitmap) {
  if (bitmap.IsEmpty() || rect.IsEmpty()) return;
  painter_.save();
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_.drawImage(rect.ToQRect(), bitmap.Image(), bitmap.Image().rect());
  painter_.restore();
}

}  // namespace qv
