// What assistive tools (screen readers, AT-SPI and UI Automation clients) see
// of the window's own widgets: roles, and for the toolbar buttons a press
// action. Names and descriptions are the widgets' accessible name and
// description, which the window sets in Chinese. The text box has its own
// (app/memo/memo_accessible.h).
#pragma once

#include <QAccessibleWidget>

namespace qv {

class TRzToolButton;

// Registers the interfaces of the window's widgets (once).
void InstallWindowAccessibility();

// A toolbar button: a push button whose press action clicks it, after the
// call that asked for it has returned (a command may open a modal dialog,
// which must not hold up the assistive tool's call).
class TToolButtonAccessible : public QAccessibleWidget {
 public:
  explicit TToolButtonAccessible(TRzToolButton* button);

  QAccessible::State state() const override;
  QStringList actionNames() const override;
  void doAction(const QString& action_name) override;
  QStringList keyBindingsForAction(const QString& action_name) const override;
};

}  // namespace qv
