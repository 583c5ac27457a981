// A flat toolbar button: icon and caption side by side. It clicks when the left
// button is pressed on it and released over it, or with Space or Enter while it
// has the focus, which only Tab gives it (a click leaves the focus where it was,
// so a mouse user never sees the focus frame).
#pragma once

#include <QKeySequence>
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
  // Runs OnClick inside the error trap: the mouse, the keys and assistive
  // tools' press action all come here.
  void Click();

  QString Caption() const { return caption_; }
  // The window's key for the button's command, shown in its tooltip and told
  // to assistive tools (none by default).
  QKeySequence Shortcut() const { return shortcut_; }
  void SetShortcut(const QKeySequence& shortcut, const QString& description);
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
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void SetPointerOver(bool over);

  QString caption_;
  QKeySequence shortcut_;
  const TImageList* images_;
  int image_index_;
  bool pointer_over_ = false;
  bool mouse_down_ = false;  // the left button went down on this button
};

}  // namespace qv
