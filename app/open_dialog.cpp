#include "app/open_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

namespace qv {

QStringList QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString display = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    if (display.isEmpty() && patterns.isEmpty()) continue;
    // Qt reads the patterns from the parenthesised tail of the text.
    if (display.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")"))) {
      filters << display;
    } else {
      filters << display + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
  }
  return filters;
}

// Room for the file list: the size, type and date columns as wide as their
// texts (Qt's defaults cut them to "773...KiB" and "JPE...age"), the name
// column taking the rest.
void FitColumns(QFileDialog& dialog) {
  QSize size = dialog.sizeHint().expandedTo(QSize(760, 460));
  if (const QScreen* screen = dialog.screen())
    size = size.boundedTo(screen->availableGeometry().size());
  dialog.resize(size);
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
}

namespace {

// The name box's completion list holds the pointer while it is open. It is
// closed here, before the dialog itself, so that its grab ends before the
// dialog leaves the screen: otherwise a click made right after the dialog
// closed could land in the dying list and be lost.
class TFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  void done(int result) override {
    for (QCompleter* completer : findChildren<QCompleter*>()) {
      if (QAbstractItemView* list = completer->popup(); list != nullptr && list->isVisible())
        list->hide();
    }
    QFileDialog::done(result);
  }
};

}  // namespace

bool TOpenDialog::Execute() {
  QWidget* owner = QApplication::activeWindow();
  if (owner == nullptr) owner = owner_;
  TFileDialog dialog(owner);
  // Qt's own dialog behaves the same on every desktop and can be driven by
  // tests; on Windows, users expect the system's dialog and get it.
  dialog.setOption(QFileDialog::DontUseNativeDialog,
                   QGuiApplication::platformName() != QStringLiteral("windows"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(Options.count(TOpenOption::ofFileMustExist) ? QFileDialog::ExistingFile
                                                                 : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(Options.count(TOpenOption::ofEnableSizing) != 0);
  dialog.setWindowModality(Qt::ApplicationModal);
  // Camera files are often .JPG: match patterns without regard to case.
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  const QStringList filters = QtNameFilters(Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(FilterIndex, 1, static_cast<int>(filters.size())) - 1;
    dialog.selectNameFilter(filters[index]);
  }
  if (!FileName.empty()) {
    const QFileInfo previous(QString::fromStdString(FileName));
    dialog.setDirectory(previous.absolutePath());
    dialog.selectFile(previous.absoluteFilePath());
    // The name box shows the whole previous path, not just its last part.
    if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      edit->setText(previous.absoluteFilePath());
    }
  }
  FitColumns(dialog);
  if (OnShow) OnShow(dialog);
  const int result = dialog.exec();
  // Qt keeps the list's state for every program's dialog: leave the columns
  // resizable there, at the widths they had.
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    view->header()->setSectionResizeMode(QHeaderView::Interactive);
    view->header()->setStretchLastSection(true);
  }
  if (result != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  FileName = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(chosen.first()).absoluteFilePath()))
                 .toStdString();
  return true;
}

}  // namespace qv
