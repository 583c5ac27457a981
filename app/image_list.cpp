#include "app/image_list.h"

#include <QImage>

#include "app/app_icons.h"

namespace qv {
namespace {

// The files carry a 1-bit mask already; snapping keeps that promise even if
// a file is ever re-saved by a tool that smooths edges.
QImage LoadIcon(const QString& path) {
  QImage image(path);
  if (image.isNull() || image.size() != QSize(TImageList::kSize, TImageList::kSize)) {
    image = QImage(TImageList::kSize, TImageList::kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
  }
  image = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      row[x] = qAlpha(row[x]) >= 128 ? (row[x] | 0xFF000000u) : 0u;
    }
  }
  return image;
}

}  // namespace

TImageList::TImageList() {
  InitIconResources();
  images_.reserve(kToolbarIconCount);
  for (int index = 0; index < kToolbarIconCount; ++index) {
    images_.push_back(QPixmap::fromImage(LoadIcon(ToolbarIconPath(index))));
  }
}

}  // namespace qv
