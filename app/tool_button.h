// A flat toolbar button: icon and caption side by side, no keyboard focus.
// It clicks when the left button is pressed on it and released over it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace qv {

class TImageList;

class TRzToolButton : public QWidget {
  Q_OBJECT
 public:
  enum class TLook { Normal, Hot, Pressed };

  TRzToolButton(QWidget* parent, const QString& caption, const TImageList* images, int image_index);

  std::function<void()> OnClick;

  QString Caption() const { return caption_; }
  TLook Look() const;
  // max(25, icon + caption width + 12), the caption measured in the button's font.
  int PreferredWidth() const;

  static constexpr int kButtonSize = 25;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetPointerOver(bool over);

  QString caption_;
  const TImageList* images_;
  int image_index_;
  bool pointer_over_ = false;
  bool mouse_down_ = false;  // the left button went down on this button
};

}  // namespace qv
