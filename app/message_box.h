// Message-box flags and results, with the platform's values, and the presenter
// that shows a box. Tests replace the presenter so that no test blocks on a box.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace qv {

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_TASKMODAL = 0x2000;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows a modal box owned by `owner` (none: no owner) and returns the button pressed.
using TMessageBoxPresenter =
    std::function<int(QWidget* owner, const QString& text, const QString& caption, unsigned flags)>;

// The presenter in use; by default ShowPlatformMessageBox.
TMessageBoxPresenter& MessageBoxPresenter();
// The system's own box where the program uses it (Windows), else ShowQtMessageBox.
int ShowPlatformMessageBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned flags);
// A QMessageBox with the matching icon and buttons, at least as wide as its
// title needs in the title bar (WidenForTitle).

int ShowQtMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags);
// The least width of a box whose title is `caption`; WidenForTitle gives it.
int MessageBoxTitleWidth(const QString& caption);
void WidenForTitle(QMessageBox& box);

}  // namespace qv
