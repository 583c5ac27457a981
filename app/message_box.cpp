#include "app/message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include "base/platform.h"

namespace qv {

TMessageBoxPresenter& MessageBoxPresenter() {
  static TMessageBoxPresenter presenter = ShowPlatformMessageBox;
  return presenter;
}

int ShowPlatformMessageBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned flags) {
  // On Windows users know the system's own box (its sounds, its layout, its
  // button texts in their language); Qt's box differs from it there.
  if (QGuiApplication::platformName() == QStringLiteral("windows")) {
    const uintptr_t handle =
        owner != nullptr ? static_cast<uintptr_t>(owner->window()->winId()) : 0;
    if (const int pressed =
            ShowSystemMessageBox(handle, text.toStdString(), caption.toStdString(), flags))
      return pressed;
  }
  return ShowQtMessageBox(owner, text, caption, flags);
}

int MessageBoxTitleWidth(const QString& caption) {
  // Title bars commonly use a bold font, often larger than the window text,
  // and carry the window's icon and one to three buttons beside the title.
  QFont title_font = QApplication::font();
  title_font.setBold(true);
  constexpr int kFrameRoom = 160;
  return QFontMetrics(title_font).horizontalAdvance(caption) * 5 / 4 + kFrameRoom;
}

void WidenForTitle(QMessageBox& box) {
  // Window managers shorten a title that does not fit its bar ("quo...ane"):
  // a row that is as wide as the title needs keeps the box from being narrower.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(MessageBoxTitleWidth(box.windowTitle()), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  } else {
    box.setMinimumWidth(MessageBoxTitleWidth(box.windowTitle()));
  }
}

int ShowQtMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags) {
  QMessageBox box(owner);
  box.setWindowTitle(caption);
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  switch (flags & 0xF0) {
    case MB_ICONERROR:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONWARNING:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  switch (flags & 0x0F) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  // Ctrl+C copies the box as text, in the layout desktop users know from
  // other systems' message boxes (handy for bug reports).
  auto* copy = new QShortcut(QKeySequence::Copy, &box);
  QObject::connect(copy, &QShortcut::activated, &box, [&box] {
    const QString rule = QStringLiteral("---------------------------\n");
    QString buttons;
    for (QAbstractButton* button : box.buttons())
      buttons += button->text().remove(u'&') + QStringLiteral("   ");
    QGuiApplication::clipboard()->setText(rule + box.windowTitle() + u'\n' + rule + box.text() +
                                          u'\n' + rule + buttons + u'\n' + rule);
  });
  WidenForTitle(box);
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return IDOK;
  }
}

}  // namespace qv
