#include "graphics/screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {

namespace {

std::function<int()>& Query() {
  static std::function<int()> query;
  return query;
}

}  // namespace

int ScreenBitsPerPixel() {
  if (Query()) return Query()();
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return 24;
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->depth() : 24;
}

void SetScreenBitsPerPixelQuery(std::function<int()> query) {
  Query() = std::move(query);
}

}  // namespace qv
