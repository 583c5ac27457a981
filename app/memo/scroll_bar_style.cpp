#include "app/memo/scroll_bar_style.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace qv {

TScrollBarStyle::TScrollBarStyle() : QProxyStyle(static_cast<QStyle*>(nullptr)) {}

QColor TScrollBarStyle::ThumbColor(const QPalette& palette, bool hot, bool pressed) {
  if (pressed) return palette.color(QPalette::Shadow);
  if (hot) return palette.color(QPalette::Dark);
  return palette.color(QPalette::Mid);
}

void TScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || bar == nullptr || !(bar->subControls & SC_ScrollBarSlider)) {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    return;
  }
  // Track and arrows as the style draws them, then the thumb over the track.
  QStyleOptionSlider rest = *bar;
  rest.subControls &= ~SC_ScrollBarSlider;
  QProxyStyle::drawComplexControl(control, &rest, painter, widget);
  if (bar->maximum == bar->minimum || !(bar->state & State_Enabled)) return;
  QRect thumb = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
  if (thumb.isEmpty()) return;
  thumb = bar->orientation == Qt::Vertical ? thumb.adjusted(2, 1, -2, -1)
                                           : thumb.adjusted(1, 2, -1, -2);
  const bool on_thumb = bar->activeSubControls & SC_ScrollBarSlider;
  const bool pressed = on_thumb && (bar->state & State_Sunken);
  const bool hot = on_thumb && (bar->state & State_MouseOver);
  const QColor fill = ThumbColor(bar->palette, hot, pressed);
  painter->save();
  painter->setPen(fill.darker(115));
  painter->setBrush(fill);
  painter->drawRect(thumb.adjusted(0, 0, -1, -1));
  painter->restore();
}

}  // namespace qv
