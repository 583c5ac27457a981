#include "app/accessibility.h"

#include <QKeySequence>
#include <QMetaObject>
#include <QPointer>

#include "app/image_box.h"
#include "app/status_bar.h"
#include "app/tool_button.h"
#include "app/toolbar.h"
#include "app/unit1.h"

namespace qv {

namespace {

QAccessibleInterface* WindowFactory(const QString& class_name, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (class_name == QLatin1String("qv::TRzToolButton"))
    return new TToolButtonAccessible(static_cast<TRzToolButton*>(widget));
  if (class_name == QLatin1String("qv::TImage"))
    return new QAccessibleWidget(widget, QAccessible::Graphic);
  if (class_name == QLatin1String("qv::TStatusBar"))
    return new QAccessibleWidget(widget, QAccessible::StatusBar);
  if (class_name == QLatin1String("qv::TRzToolbar"))
    return new QAccessibleWidget(widget, QAccessible::ToolBar);
  if (class_name == QLatin1String("qv::TRzSpacer"))
    return new QAccessibleWidget(widget, QAccessible::Separator);
  if (class_name == QLatin1String("qv::TForm1"))
    return new QAccessibleWidget(widget, QAccessible::Window);
  return nullptr;
}

}  // namespace

void InstallWindowAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(WindowFactory);
    return true;
  }();
  (void)installed;
}

TToolButtonAccessible::TToolButtonAccessible(TRzToolButton* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

QAccessible::State TToolButtonAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  state.focusable = true;
  return state;
}

QStringList TToolButtonAccessible::actionNames() const {
  return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void TToolButtonAccessible::doAction(const QString& action_name) {
  if (action_name != pressAction()) {
    QAccessibleWidget::doAction(action_name);
    return;
  }
  QPointer<TRzToolButton> button = static_cast<TRzToolButton*>(widget());
  QMetaObject::invokeMethod(
      button,
      [button] {
        if (button) button->Click();
      },
      Qt::QueuedConnection);
}

QStringList TToolButtonAccessible::keyBindingsForAction(const QString& action_name) const {
  if (action_name != pressAction()) return QAccessibleWidget::keyBindingsForAction(action_name);
  const auto* button = static_cast<const TRzToolButton*>(widget());
  if (button->Shortcut().isEmpty()) return {};
  return {button->Shortcut().toString(QKeySequence::NativeText)};
}

}  // namespace qv
