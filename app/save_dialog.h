// The file-save dialog of the window's additions: Qt's own dialog (the
// system's on Windows), a list of file types, the name pre-filled in the last
// folder used, and Qt's question before an existing file is replaced.
#pragma once

#include <QStringList>
#include <functional>
#include <string>

class QFileDialog;
class QWidget;

namespace qv {

class TSaveDialog {
 public:
  explicit TSaveDialog(QWidget* owner) : owner_(owner) {}

  // One Qt name filter per file type: "C 数组 (xxd -i) (*.h)", and the
  // extension a name without one gets with that type.
  QStringList Filters;
  QStringList Extensions;
  int FilterIndex = 0;   // 0-based: the type shown first, then the one chosen
  std::string FileName;  // the name offered (a bare name goes into Folder); then the chosen path
  std::string Folder;    // the last folder used

  // Shows the dialog modally; true when the user confirmed a name, whose full
  // path is then in FileName, its folder in Folder and its type in FilterIndex.
  bool Execute();

  // Called with the dialog just before it runs; tests use it to drive the dialog.
  std::function<void(QFileDialog&)> OnShow;

 private:
  QWidget* owner_;
};

}  // namespace qv
