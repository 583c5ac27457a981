#include "app/image_box.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "app/colors.h"
#include "app/error_trap.h"
#include "app/support/perf_trace.h"
#include "graphics/canvas.h"
#include "graphics/graphic.h"

namespace qv {

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  box_.OnRepaint = [this] {
    setAttribute(Qt::WA_OpaquePaintEvent, box_.Opaque());
    DescribePicture();
    update();
  };
  DescribePicture();
}

void TImage::DescribePicture() {
  TGraphic* graphic = box_.Picture().HeldGraphic();
  const QString description = graphic == nullptr ? QString::fromUtf8("没有图片")
                                                 : QString::fromUtf8("图片大小：%1 × %2 像素")
                                                       .arg(graphic->Width())
                                                       .arg(graphic->Height());
  if (description != accessibleDescription()) setAccessibleDescription(description);
}

bool TImage::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  Trapped([&] {
    const QString text = ToolTipText ? ToolTipText() : QString();
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, this);
    }
  });
  return true;
}

void TImage::paintEvent(QPaintEvent*) {
  // A box opens no dialog while it paints: an error (a picture that fails to
  // decode) is shown once painting is over.
  try {
    QPainter painter(this);
    TCanvas canvas(painter);
    // The panel's background, where the picture draws nothing.
    box_.Paint(canvas, TRect{0, 0, width(), height()}, ButtonFaceColor().rgb());
    if (PerfTraceOn()) PerfMark(QStringLiteral("painted ") + objectName());
  } catch (...) {
    ReportUnhandledErrorLater(std::current_exception());
  }
}

}  // namespace qv
