#include "app/toolbar.h"

#include <QPainter>
#include <QResizeEvent>

#include "app/colors.h"
#include "app/error_trap.h"

namespace qv {

TRzSpacer::TRzSpacer(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  resize(8, 25);
}

void TRzSpacer::paintEvent(QPaintEvent*) {
  Trapped([&] {
    // An etched vertical line in the middle: shadow, then highlight.
    QPainter painter(this);
    painter.setPen(ButtonShadowColor());
    painter.drawLine(3, 1, 3, height() - 1);
    painter.setPen(ButtonHighlightColor());
    painter.drawLine(4, 1, 4, height() - 1);
  });
}

TRzToolbar::TRzToolbar(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void TRzToolbar::SetRowHeight(int height) {
  if (height == row_height_) return;
  row_height_ = height;
  LayoutControls();
}

void TRzToolbar::AddControl(QWidget* control) {
  controls_.push_back(control);
  LayoutControls();
}

void TRzToolbar::LayoutControls() {
  if (laying_out_) return;
  laying_out_ = true;
  int x = kMargin;
  int row = 1;
  bool first = true;
  for (QWidget* control : controls_) {
    if (control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide)) continue;
    if (!first && x + control->width() > width() - 4) {
      ++row;
      x = kMargin;
    }
    const int top = (row - 1) * row_height_ + kTopMargin + row_height_ / 2 - control->height() / 2;
    control->move(x, top);
    x += control->width();
    first = false;
  }
  const int height = row_height_ * row + 2 * kTopMargin;
  if (this->height() != height) resize(width(), height);
  laying_out_ = false;
}

QColor TRzToolbar::GradientTop() {
  return WindowColor();
}
QColor TRzToolbar::GradientBottom() {
  return DarkerBy(ButtonFaceColor(), 10);
}

void TRzToolbar::paintEvent(QPaintEvent*) {
  Trapped([&] {
    QPainter painter(this);
    const int w = width();
    // The groove along the top edge.
    painter.setPen(ButtonShadowColor());
    painter.drawLine(0, 0, w - 1, 0);
    painter.setPen(ButtonHighlightColor());
    painter.drawLine(0, 1, w - 1, 1);
    // Rows 2.. : a vertical gradient, constant along each row.
    const QColor top = GradientTop();
    const QColor bottom = GradientBottom();
    const int span = height() - 2;
    for (int i = 0; i < span; ++i) {
      auto lerp = [&](int a, int b) { return a + (b - a) * i / span; };
      painter.setPen(QColor(lerp(top.red(), bottom.red()), lerp(top.green(), bottom.green()),
                            lerp(top.blue(), bottom.blue())));
      painter.drawLine(0, 2 + i, w - 1, 2 + i);
    }
  });
}

void TRzToolbar::resizeEvent(QResizeEvent* event) {
  Trapped([&] {
    if (event->size().width() != event->oldSize().width()) LayoutControls();
  });
}

}  // namespace qv
