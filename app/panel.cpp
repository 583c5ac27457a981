#include "app/panel.h"

#include <QPainter>

#include "app/colors.h"
#include "app/error_trap.h"

namespace qv {

TPanel::TPanel(QWidget* parent, TFrame frame) : QWidget(parent), frame_(frame) {
  setFocusPolicy(Qt::NoFocus);
  setAutoFillBackground(false);
}

QRect TPanel::ClientRect() const {
  const int inset = frame_ == TFrame::FlatEtched ? 2 : 1;
  return rect().adjusted(inset, inset, -inset, -inset);
}

void TPanel::paintEvent(QPaintEvent*) {
  Trapped([&] {
    QPainter painter(this);
    painter.fillRect(rect(), ButtonFaceColor());
    // QRect's right() and bottom() are the last pixel column and row.
    const QRect r = rect();
    if (frame_ == TFrame::FlatEtched) {
      // Outer line in shadow, inner line in button face, on all four sides
      // (drawRect covers one pixel more than the rectangle it is given).
      painter.setPen(ButtonShadowColor());
      painter.drawRect(r.adjusted(0, 0, -1, -1));
      painter.setPen(ButtonFaceColor());
      painter.drawRect(r.adjusted(1, 1, -2, -2));
    } else {
      painter.setPen(ButtonHighlightColor());
      painter.drawLine(r.topLeft(), r.topRight());
      painter.drawLine(r.topLeft(), r.bottomLeft());
      painter.setPen(ButtonShadowColor());
      painter.drawLine(r.bottomLeft(), r.bottomRight());
      painter.drawLine(r.topRight(), r.bottomRight());
    }
  });
}

}  // namespace qv
