// A plain panel in button face: either a flat etched 2-pixel frame around its
// client area, or a 1-pixel raised bevel inside it.
#pragma once

#include <QRect>
#include <QWidget>

namespace qv {

class TPanel : public QWidget {
  Q_OBJECT
 public:
  enum class TFrame { FlatEtched, RaisedBevel };

  TPanel(QWidget* parent, TFrame frame);
  // The area inside the frame or bevel, in the panel's coordinates.
  QRect ClientRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TFrame frame_;
};

}  // namespace qv
