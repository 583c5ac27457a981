// The text box's scroll bar: the platform style's track and arrows with a
// thumb that stands out from the track (the default thumb is near white on a
// light grey track and hard to find).
#pragma once

#include <QProxyStyle>

namespace qv {

class TScrollBarStyle : public QProxyStyle {
  Q_OBJECT
 public:
  // Draws over the application's style as it is when drawing.
  TScrollBarStyle();

  // The thumb's fill: the palette's mid tone; darker under the pointer and
  // darker still while dragged.
  static QColor ThumbColor(const QPalette& palette, bool hot, bool pressed);

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override;
};

}  // namespace qv
