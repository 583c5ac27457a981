#include "app/colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace qv {
namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;
constexpr int kUndefinedHue = kHlsMax * 2 / 3;

int HueToRgb(int n1, int n2, int hue) {
  if (hue < 0) hue += kHlsMax;
  if (hue > kHlsMax) hue -= kHlsMax;
  if (hue < kHlsMax / 6) return n1 + (((n2 - n1) * hue + kHlsMax / 12) / (kHlsMax / 6));
  if (hue < kHlsMax / 2) return n2;
  if (hue < kHlsMax * 2 / 3)
    return n1 + (((n2 - n1) * (kHlsMax * 2 / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6));
  return n1;
}

int Clip(int v) {
  return std::clamp(v, 0, 255);
}

QColor PaletteColor(QPalette::ColorRole role) {
  return QGuiApplication::palette().color(QPalette::Active, role);
}

}  // namespace

THls ColorToHls(QColor color) {
  const int r = color.red(), g = color.green(), b = color.blue();
  const int c_max = std::max({r, g, b});
  const int c_min = std::min({r, g, b});
  THls hls;
  hls.lightness = ((c_max + c_min) * kHlsMax + kRgbMax) / (2 * kRgbMax);
  if (c_max == c_min) {
    hls.saturation = 0;
    hls.hue = kUndefinedHue;
    return hls;
  }
  const int sum = c_max + c_min;
  const int diff = c_max - c_min;
  if (hls.lightness <= kHlsMax / 2) {
    hls.saturation = (diff * kHlsMax + sum / 2) / sum;
  } else {
    hls.saturation = (diff * kHlsMax + (2 * kRgbMax - sum) / 2) / (2 * kRgbMax - sum);
  }
  const int r_delta = ((c_max - r) * (kHlsMax / 6) + diff / 2) / diff;
  const int g_delta = ((c_max - g) * (kHlsMax / 6) + diff / 2) / diff;
  const int b_delta = ((c_max - b) * (kHlsMax / 6) + diff / 2) / diff;
  if (r == c_max) {
    hls.hue = b_delta - g_delta;
  } else if (g == c_max) {
    hls.hue = kHlsMax / 3 + r_delta - b_delta;
  } else {
    hls.hue = 2 * kHlsMax / 3 + g_delta - r_delta;
  }
  if (hls.hue < 0) hls.hue += kHlsMax;
  if (hls.hue > kHlsMax) hls.hue -= kHlsMax;
  return hls;
}

QColor HlsToColor(THls hls) {
  const int l = hls.lightness, s = hls.saturation, h = hls.hue;
  if (s == 0) {
    const int v = Clip(l * kRgbMax / kHlsMax);
    return QColor(v, v, v);
  }
  const int magic2 = l <= kHlsMax / 2 ? (l * (kHlsMax + s) + kHlsMax / 2) / kHlsMax
                                      : l + s - ((l * s) + kHlsMax / 2) / kHlsMax;
  const int magic1 = 2 * l - magic2;
  const int r = (HueToRgb(magic1, magic2, h + kHlsMax / 3) * kRgbMax + kHlsMax / 2) / kHlsMax;
  const int g = (HueToRgb(magic1, magic2, h) * kRgbMax + kHlsMax / 2) / kHlsMax;
  const int b = (HueToRgb(magic1, magic2, h - kHlsMax / 3) * kRgbMax + kHlsMax / 2) / kHlsMax;
  return QColor(Clip(r), Clip(g), Clip(b));
}

QColor DarkerBy(QColor color, int n) {
  THls hls = ColorToHls(color);
  hls.lightness = std::max(0, hls.lightness - n);
  return HlsToColor(hls);
}

QColor LighterBy(QColor color, int n) {
  THls hls = ColorToHls(color);
  hls.lightness = std::min(255, hls.lightness + n);
  return HlsToColor(hls);
}

QColor MixColors(QColor a, QColor b, int weight) {
  auto mix = [weight](int x, int y) {
    return Clip(static_cast<int>(std::lround(x * weight / 255.0 + y * (255 - weight) / 255.0)));
  };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor ButtonFaceColor() {
  return PaletteColor(QPalette::Button);
}
QColor ButtonShadowColor() {
  return PaletteColor(QPalette::Dark);
}
QColor ButtonHighlightColor() {
  return PaletteColor(QPalette::Light);
}
QColor WindowColor() {
  return PaletteColor(QPalette::Base);
}
QColor SelectionHighlightColor() {
  return PaletteColor(QPalette::Highlight);
}
QColor WindowTextColor() {
  return PaletteColor(QPalette::WindowText);
}
QColor ButtonTextColor() {
  return PaletteColor(QPalette::ButtonText);
}

}  // namespace qv
