#include "app/screen_depth.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {
namespace {
int g_override = 0;
}

int ScreenBitsPerPixel() {
  if (g_override > 0) return g_override;
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->depth() : 24;
}

void SetScreenBitsPerPixelOverride(int bits) { g_override = bits; }

}  // namespace qv
