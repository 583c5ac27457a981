#include "app/image_list.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <functional>

namespace qv {
namespace {

using Painter = std::function<void(QPainter&)>;

// Draws without antialiasing on a transparent ground, then snaps every pixel
// to fully opaque or fully transparent: the icons carry a 1-bit mask only.
QImage DrawIcon(const Painter& paint) {
  QImage image(TImageList::kSize, TImageList::kSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  paint(painter);
  painter.end();
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      row[x] = qAlpha(row[x]) >= 128 ? (row[x] | 0xFF000000u) : 0u;
    }
  }
  return image;
}

QImage GreyCopy(const QImage& source) {
  QImage grey = source;
  for (int y = 0; y < grey.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      if (qAlpha(row[x]) == 0) continue;
      // Lightened grey, as disabled glyphs look.
      const int g = 128 + qGray(row[x]) / 2;
      row[x] = qRgb(g, g, g);
    }
  }
  return grey;
}

void OpenFolder(QPainter& p) {
  p.setPen(QColor(0x80, 0x60, 0x00));
  p.setBrush(QColor(0xE8, 0xC0, 0x40));
  p.drawRect(1, 3, 11, 10);  // back of the folder
  p.drawRect(1, 2, 5, 1);    // tab
  p.setBrush(QColor(0xFF, 0xE0, 0x70));
  const QPoint front[] = {{1, 13}, {4, 7}, {15, 7}, {12, 13}};
  p.drawPolygon(front, 4);  // the open front leaf
}

void TextPage(QPainter& p) {
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.setBrush(Qt::white);
  p.drawRect(3, 1, 10, 14);
  p.setPen(QColor(0x20, 0x40, 0xA0));
  for (int y = 4; y <= 12; y += 2) p.drawLine(5, y, y == 12 ? 8 : 11, y);
}

void Landscape(QPainter& p) {
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.setBrush(QColor(0x80, 0xC0, 0xFF));
  p.drawRect(0, 2, 15, 12);  // sky in a frame
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xFF, 0xD0, 0x00));
  p.drawRect(10, 4, 3, 3);  // sun
  p.setBrush(QColor(0x30, 0x90, 0x30));
  const QPoint hills[] = {{1, 14}, {5, 8}, {8, 11}, {11, 7}, {15, 14}};
  p.drawPolygon(hills, 5);
}

void ExitDoor(QPainter& p) {
  p.setPen(QColor(0x50, 0x30, 0x10));
  p.setBrush(QColor(0xA0, 0x60, 0x20));
  p.drawRect(2, 1, 8, 14);  // door
  p.setPen(QColor(0xFF, 0xE0, 0x60));
  p.drawPoint(8, 8);  // knob
  p.setPen(QColor(0xC0, 0x00, 0x00));
  p.setBrush(QColor(0xE0, 0x20, 0x20));
  p.drawLine(9, 8, 13, 8);  // arrow shaft
  const QPoint head[] = {{12, 5}, {15, 8}, {12, 11}};
  p.drawPolygon(head, 3);
}

}  // namespace

TImageList::TImageList() {
  for (const Painter& paint : {Painter(OpenFolder), Painter(TextPage), Painter(Landscape), Painter(ExitDoor)}) {
    const QImage colour = DrawIcon(paint);
    images_.push_back(QPixmap::fromImage(colour));
    images_.push_back(QPixmap::fromImage(GreyCopy(colour)));
  }
}

}  // namespace qv
