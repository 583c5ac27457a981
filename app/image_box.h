// A picture box: shows the picture of its container stretched to its whole
// area; an empty box draws nothing, so its parent's background shows.
#pragma once

#include <QWidget>

namespace qv {

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace qv
