// A picture box: its container's picture stretched to the whole client area;
// an empty box, or one whose picture draws nothing or fails to draw, shows the
// panel's background. Assistive tools read the box's name (what it shows, set
// by the window) and, as its description, the picture's size.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "conversion/threads/ui_thread_check.h"
#include "graphics/picture_box.h"

namespace qv {

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent);

  TPicture& Picture() {
    CheckUiThread("a picture box (TImage)");
    return box_.Picture();
  }

  // The tooltip's text, asked for when the pointer rests on the box; none: no tooltip.
  std::function<QString()> ToolTipText;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void DescribePicture();

  TPictureBox box_;
};

}  // namespace qv
