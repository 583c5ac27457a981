#include "app/support/trapped_action.h"

#include <QAction>
#include <QMenu>
#include <cstdio>

namespace qv {

void ConnectTrapped(QAction* action, std::function<void()> run, TErrorReport report) {
  QObject::connect(action, &QAction::triggered, action,
                   [run = std::move(run), report = std::move(report)] {
                     try {
                       run();
                     } catch (...) {
                       try {
                         if (report) {
                           report(std::current_exception());
                         } else {
                           std::fputs("Quorvane: an error of a menu action was lost\n", stderr);
                         }
                       } catch (...) {
                         std::fputs("Quorvane: an error could not be shown\n", stderr);
                       }
                     }
                   });
}

QAction* AddTrappedAction(QMenu* menu, const QString& text, std::function<void()> run,
                          TErrorReport report) {
  QAction* action = menu->addAction(text);
  ConnectTrapped(action, std::move(run), std::move(report));
  return action;
}

}  // namespace qv
