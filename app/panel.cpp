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
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (frame_ == TFrame::FlatEtched) {
      // Outer line in shadow, inner line in button face, on all four sides.
      painter.setPen(ButtonShadowColor());
      painter.drawRect(r);
      painter.setPen(ButtonFaceColor());
      painter.drawRect(r.adjusted(1, 1, -1, -1));
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
