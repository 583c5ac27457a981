#include "app/save_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>

#include "app/error_trap.h"
#include "app/open_dialog.h"

namespace qv {

bool TSaveDialog::Execute() {
  QWidget* owner = QApplication::activeWindow();
  if (owner == nullptr) owner = owner_;
  QFileDialog dialog(owner);
  // As the open dialog: Qt's own, drivable by tests, except on Windows.
  dialog.setOption(QFileDialog::DontUseNativeDialog,
                   QGuiApplication::platformName() != QStringLiteral("windows"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (!Filters.isEmpty()) {
    dialog.setNameFilters(Filters);
    FilterIndex = std::clamp(FilterIndex, 0, static_cast<int>(Filters.size()) - 1);
    dialog.selectNameFilter(Filters[FilterIndex]);
    if (FilterIndex < Extensions.size()) dialog.setDefaultSuffix(Extensions[FilterIndex]);
    // A name typed without an extension gets the chosen type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [this, &dialog](const QString& filter) {
                       Trapped([&] {
                         const qsizetype index = Filters.indexOf(filter);
                         if (index >= 0 && index < Extensions.size())
                           dialog.setDefaultSuffix(Extensions[index]);
                       });
                     });
  }
  QString folder = QString::fromStdString(Folder);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  dialog.setDirectory(folder);
  if (!FileName.empty()) dialog.selectFile(QFileInfo(QString::fromStdString(FileName)).fileName());
  FitColumns(dialog);
  if (OnShow) OnShow(dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  const QFileInfo path(QDir::cleanPath(QFileInfo(chosen.first()).absoluteFilePath()));
  FileName = QDir::toNativeSeparators(path.absoluteFilePath()).toStdString();
  Folder = QDir::toNativeSeparators(path.absolutePath()).toStdString();
  const qsizetype index = Filters.indexOf(dialog.selectedNameFilter());
  if (index >= 0) FilterIndex = static_cast<int>(index);
  return true;
}

}  // namespace qv
