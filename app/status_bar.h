// The status bar: one lowered text panel across the whole width, in the
// application's default (status) font, no size grip.
#pragma once

#include <QString>
#include <QWidget>

#include "conversion/threads/ui_thread_check.h"

namespace qv {

class TStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* parent);

  QString PanelText() const {
    CheckUiThread("the status bar (TStatusBar)");
    return text_;
  }
  void SetPanelText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace qv
