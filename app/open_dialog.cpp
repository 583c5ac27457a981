#include "app/open_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
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

bool TOpenDialog::Execute() {
  QWidget* owner = QApplication::activeWindow();
  if (owner == nullptr) owner = owner_;
  QFileDialog dialog(owner);
  // Qt's own dialog behaves the same on every desktop and can be driven by
  // tests; on Windows, users expect the system's dialog and get it.
  dialog.setOption(QFileDialog::DontUseNativeDialog, QGuiApplication::platformName() != QStringLiteral("windows"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(Options.count(TOpenOption::ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
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
  if (OnShow) OnShow(dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  FileName = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(chosen.first()).absoluteFilePath())).toStdString();
  return true;
}

}  // namespace qv
