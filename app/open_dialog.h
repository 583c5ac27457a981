// The file-open dialog: Qt's own dialog (the same everywhere and drivable in
// tests), one file, no existence check, the previous path pre-filled, modal.
#pragma once

#include <QString>
#include <functional>
#include <set>
#include <string>

class QFileDialog;
class QWidget;

namespace qv {

enum class TOpenOption { ofHideReadOnly, ofEnableSizing, ofFileMustExist };

class TOpenDialog {
 public:
  explicit TOpenDialog(QWidget* owner) : owner_(owner) {}

  // Pairs of display text and pattern, each part ended by '|':
  // "图片 (*.jpg)|*.jpg|". Patterns match without regard to case.
  QString Filter;
  int FilterIndex = 1;
  std::string FileName;  // the chosen file; the pre-filled one when shown
  std::set<TOpenOption> Options{TOpenOption::ofHideReadOnly, TOpenOption::ofEnableSizing};

  // Shows the dialog modally; true when the user confirmed a file, whose full
  // path is then in FileName. A cancel leaves FileName as it was.
  bool Execute();

  // Called with the dialog just before it runs; tests use it to drive the dialog.
  std::function<void(QFileDialog&)> OnShow;

 private:
  QWidget* owner_;
};

// Sizes the dialog and its file list so that the detail columns show whole.
void FitColumns(QFileDialog& dialog);

// The Qt name filters for a "text|pattern|" filter list.
QStringList QtNameFilters(const QString& filter);

}  // namespace qv
