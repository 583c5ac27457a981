#include "app/status_bar.h"

#include <QApplication>
#include <QPainter>

#include "app/colors.h"
#include "app/error_trap.h"
#include "app/support/perf_trace.h"

namespace qv {

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setFont(QApplication::font());
  // Assistive tools read the panel's text as the bar's name.
  setAccessibleDescription(QString::fromUtf8("状态栏"));
}

void TStatusBar::SetPanelText(const QString& text) {
  CheckUiThread("the status bar (TStatusBar)");
  if (text == text_) return;
  text_ = text;
  setAccessibleName(text);
  update();
}

void TStatusBar::paintEvent(QPaintEvent*) {
  Trapped([&] {
    QPainter painter(this);
    painter.fillRect(rect(), ButtonFaceColor());
    // The only panel stretches to the right edge; lowered bevel.
    const QRect panel = rect().adjusted(0, 2, 0, 0);
    painter.setPen(ButtonShadowColor());
    painter.drawLine(panel.topLeft(), panel.topRight());
    painter.drawLine(panel.topLeft(), panel.bottomLeft());
    painter.setPen(ButtonHighlightColor());
    painter.drawLine(panel.bottomLeft(), panel.bottomRight());
    painter.drawLine(panel.topRight(), panel.bottomRight());
    painter.setPen(ButtonTextColor());
    painter.setClipRect(panel.adjusted(1, 1, -1, -1));
    painter.drawText(panel.adjusted(3, 1, -2, -1),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
    if (PerfTraceOn()) PerfMark(QStringLiteral("painted status ") + text_);
  });
}

}  // namespace qv
