// Colour helpers for the toolbar's looks: the hue/lightness/saturation model on
// a 0..240 scale, and the system colours read from the application palette.
#pragma once

#include <QColor>

namespace qv {

struct THls {
  int hue = 0, lightness = 0, saturation = 0;  // each 0..240
};

THls ColorToHls(QColor color);
QColor HlsToColor(THls hls);  // channels above 255 are clipped
// Lightness lowered by n (not below 0) or raised by n (not above 255).
QColor DarkerBy(QColor color, int n);
QColor LighterBy(QColor color, int n);
// round(a * weight / 255 + b * (255 - weight) / 255) per channel.
QColor MixColors(QColor a, QColor b, int weight);

// The system colours of the platform, taken from the application palette.
QColor ButtonFaceColor();
QColor ButtonShadowColor();
QColor ButtonHighlightColor();
QColor WindowColor();
QColor SelectionHighlightColor();
QColor WindowTextColor();
QColor ButtonTextColor();

}  // namespace qv
