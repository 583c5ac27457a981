#include "app/app_icons.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must stand outside any namespace. Calling it also makes the
// linker keep the resource object, which nothing else references in the
// static app library.
static void RegisterIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace qv {

void InitIconResources() {
  static const bool registered = (RegisterIconResources(), true);
  (void)registered;
}

QIcon ApplicationIcon() {
  InitIconResources();
  QIcon icon;
  for (const int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/quorvane/app/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QString ToolbarIconPath(int index) {
  return QStringLiteral(":/quorvane/toolbar/%1.xpm").arg(index);
}

}  // namespace qv
