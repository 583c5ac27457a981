// Files from the desktop: a picture dropped on the window, or named on the
// command line ("Open with"), opens exactly as the open command opens it; a
// text file dropped on the text box loads into it.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/error_trap.h"
#include "app/image_box.h"
#include "app/memo/memo.h"
#include "app/message_box.h"
#include "app/open_dialog.h"
#include "app/unit1.h"
#include "graphics/picture.h"

namespace qv {

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

void TForm1::OpenPictureFromDesktop(const std::string& path) {
  if (QFileInfo(QString::fromStdString(path)).isDir()) {
    Ask(QString::fromUtf8("“%1”是文件夹，请选择图片！").arg(QString::fromStdString(path)),
        MB_OK | MB_ICONWARNING);
    return;
  }
  // The open command's own steps, as if the name had been chosen in its
  // dialog: the dialog offers this file next time, errors are its errors.
  OpenDialog1->FileName = path;
  Image1->Picture().OpenPictureFile(path);
  PreviewFileName = path;
}

void TForm1::DropFiles(const QStringList& paths, bool on_text_box) {
  if (paths.isEmpty()) return;
  const std::string first = QFileInfo(paths.first()).absoluteFilePath().toStdString();
  if (paths.size() > 1) {
    Ask(QString::fromUtf8("一次只能打开一个文件，只打开了第一个：\n%1").arg(paths.first()),
        MB_OK | MB_ICONWARNING);
  }
  if (on_text_box && !IsPictureFileName(first)) return LoadHexTextFile(first);
  OpenPictureFromDesktop(first);
}

void TForm1::OpenStartupFiles(const QStringList& arguments) {
  QStringList files;
  for (const QString& argument : arguments) {
    if (argument != QStringLiteral("--")) files << argument;
  }
  if (files.isEmpty()) return;
  // Once the window is up, so that a box has its owner.
  QTimer::singleShot(0, this, [this, files] {
    Trapped([&] {
      if (files.size() > 1) {
        QStringList rest = files.mid(1);
        Ask(QString::fromUtf8("一次只能打开一张图片，以下文件没有打开：\n%1").arg(rest.join(u'\n')),
            MB_OK | MB_ICONWARNING);
      }
      OpenPictureFromDesktop(QFileInfo(files.first()).absoluteFilePath().toStdString());
    });
  });
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  Trapped([&] {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
  });
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  Trapped([&] {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
  });
}

void TForm1::dropEvent(QDropEvent* event) {
  Trapped([&] {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    const bool on_text_box = Memo1->geometry().contains(event->position().toPoint());
    // After the drop is over: a box opened inside it would hold the source
    // program's drag for as long as it is open.
    QTimer::singleShot(
        0, this, [this, paths, on_text_box] { Trapped([&] { DropFiles(paths, on_text_box); }); });
  });
}

}  // namespace qv
