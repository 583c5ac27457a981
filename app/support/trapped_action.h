// Menu entries, shortcuts and other actions call our code from inside Qt's own
// event handling: each runs inside an error trap, so that no exception unwinds
// through Qt's frames. Every action of every menu is connected this way.
#pragma once

#include <QString>
#include <exception>
#include <functional>

class QAction;
class QMenu;

namespace qv {

// Receives an error an action raised (the window's error display, or the text
// box's, which shows the same box).
using TErrorReport = std::function<void(std::exception_ptr)>;

// Runs `run` whenever `action` is triggered; whatever it raises goes to `report`.
void ConnectTrapped(QAction* action, std::function<void()> run, TErrorReport report);

// Adds an entry with `text` to `menu` that runs `run` the same way.
QAction* AddTrappedAction(QMenu* menu, const QString& text, std::function<void()> run,
                          TErrorReport report);

}  // namespace qv
