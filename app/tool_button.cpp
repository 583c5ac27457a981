#include "app/tool_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/colors.h"
#include "app/error_trap.h"
#include "app/image_list.h"
#include "graphics/screen.h"

namespace qv {
namespace {

constexpr int kIconSize = 16;
constexpr int kIconGap = 4;

void FillVerticalGradient(QPainter& painter, const QRect& rect, QColor top, QColor bottom) {
  const int height = rect.height();
  for (int i = 0; i < height; ++i) {
    auto lerp = [&](int a, int b) { return a + (b - a) * i / std::max(1, height); };
    painter.setPen(QColor(lerp(top.red(), bottom.red()), lerp(top.green(), bottom.green()),
                          lerp(top.blue(), bottom.blue())));
    painter.drawLine(rect.left(), rect.top() + i, rect.right(), rect.top() + i);
  }
}

}  // namespace

TRzToolButton::TRzToolButton(QWidget* parent, const QString& caption, const TImageList* images,
                             int image_index)
    : QWidget(parent), caption_(caption), images_(images), image_index_(image_index) {
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover, false);
  setAccessibleName(caption);
  resize(PreferredWidth(), kButtonSize);
}

void TRzToolButton::SetShortcut(const QKeySequence& shortcut, const QString& description) {
  shortcut_ = shortcut;
  const QString key = shortcut.toString(QKeySequence::NativeText);
  setToolTip(key.isEmpty() ? description : description + QStringLiteral(" (") + key + u')');
  setAccessibleDescription(toolTip());
}

int TRzToolButton::PreferredWidth() const {
  return std::max(kButtonSize, kIconSize + fontMetrics().horizontalAdvance(caption_) + 12);
}

TRzToolButton::TLook TRzToolButton::Look() const {
  if (mouse_down_) return pointer_over_ ? TLook::Pressed : TLook::Normal;
  return pointer_over_ ? TLook::Hot : TLook::Normal;
}

void TRzToolButton::paintEvent(QPaintEvent*) {
  Trapped([&] {
    QPainter painter(this);
    const TLook look = Look();
    if (look != TLook::Normal) {
      const QColor highlight = SelectionHighlightColor();
      const QColor base = MixColors(highlight, WindowColor(), 77);
      // 256 colours or fewer: no gradient, a flat fill.
      const QColor light = ScreenBitsPerPixel() <= 8 ? base : LighterBy(base, 20);
      const QRect inner = rect().adjusted(1, 1, -1, -1);
      if (look == TLook::Hot) {
        FillVerticalGradient(painter, inner, light, base);
      } else {
        FillVerticalGradient(painter, inner, base, light);
      }
      painter.setPen(highlight);
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    // Icon, 4-pixel gap and caption as one block, centred in the area less 2
    // pixels on every side; pressing does not move it.
    const QRect area = rect().adjusted(2, 2, -2, -2);
    const int caption_width = fontMetrics().horizontalAdvance(caption_);
    const int block = kIconSize + (caption_.isEmpty() ? 0 : kIconGap + caption_width);
    const int left = area.left() + (area.width() - block) / 2;
    if (images_ != nullptr && image_index_ >= 0 && image_index_ < images_->Count()) {
      painter.drawPixmap(left, area.top() + (area.height() - kIconSize) / 2,
                         images_->Image(image_index_));
    }
    painter.setPen(WindowTextColor());
    painter.setFont(font());
    const QRect text_rect(left + kIconSize + kIconGap, area.top(), caption_width, area.height());
    painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
    if (hasFocus()) {
      // The dotted focus frame of the platform's buttons, inside the border.
      QPen pen(WindowTextColor());
      pen.setStyle(Qt::DotLine);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
  });
}

void TRzToolButton::Click() {
  Trapped([&] {
    if (OnClick) OnClick();
  });
}

void TRzToolButton::keyPressEvent(QKeyEvent* event) {
  Trapped([&] {
    switch (event->key()) {
      case Qt::Key_Space:
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (!event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
          Click();
          return;
        }
        break;
      default:
        break;
    }
    event->ignore();
  });
}

void TRzToolButton::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TRzToolButton::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TRzToolButton::SetPointerOver(bool over) {
  if (over == pointer_over_) return;
  pointer_over_ = over;
  update();
}

void TRzToolButton::enterEvent(QEnterEvent*) {
  Trapped([&] { SetPointerOver(true); });
}

void TRzToolButton::leaveEvent(QEvent*) {
  Trapped([&] { SetPointerOver(false); });
}

void TRzToolButton::mousePressEvent(QMouseEvent* event) {
  Trapped([&] {
    if (event->button() != Qt::LeftButton) return;
    mouse_down_ = true;
    pointer_over_ = rect().contains(event->position().toPoint());
    update();
  });
}

void TRzToolButton::mouseMoveEvent(QMouseEvent* event) {
  Trapped([&] { SetPointerOver(rect().contains(event->position().toPoint())); });
}

void TRzToolButton::mouseReleaseEvent(QMouseEvent* event) {
  Trapped([&] {
    if (event->button() != Qt::LeftButton || !mouse_down_) return;
    mouse_down_ = false;
    pointer_over_ = rect().contains(event->position().toPoint());
    update();
    if (pointer_over_) Click();
  });
}

}  // namespace qv
