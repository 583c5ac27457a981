// The toolbar: a groove along its top edge over a vertical gradient, its
// members laid out left to right in rows; and the grooved separator.
#pragma once

#include <QWidget>
#include <vector>

namespace qv {

class TRzSpacer : public QWidget {
  Q_OBJECT
 public:
  explicit TRzSpacer(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TRzToolbar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMargin = 4;
  static constexpr int kTopMargin = 2;
  static constexpr int kRowHeight = 25;

  explicit TRzToolbar(QWidget* parent);

  // Height of each row of members; the window scales it with its font.
  int RowHeight() const { return row_height_; }
  void SetRowHeight(int height);
  // Members in layout order (ToolbarControls).
  void AddControl(QWidget* control);
  const std::vector<QWidget*>& ToolbarControls() const { return controls_; }
  // Places the members in rows and sets the height to fit them.
  void LayoutControls();
  // Gradient ends: the window colour at the top, button face darkened by 10.
  static QColor GradientTop();
  static QColor GradientBottom();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<QWidget*> controls_;
  bool laying_out_ = false;
  int row_height_ = kRowHeight;
};

}  // namespace qv
