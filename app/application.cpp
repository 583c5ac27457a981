#include "app/application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "app/app_icons.h"
#include "app/error_trap.h"
#include "app/message_box.h"
#include "app/support/perf_trace.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {
namespace {

TApplication* g_application = nullptr;

// Never shown: the owner of the wake-up's notifier and of boxes when no window
// of the program is active.
class THiddenAppWindow : public QWidget {
 public:
  explicit THiddenAppWindow(const QString& title) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DontShowOnScreen);
    resize(0, 0);
  }
};

// The UI thread's wake-up. A thread that hands a step over signals a
// descriptor; the UI thread watches it with a socket notifier, which every
// event loop polls, modal ones included, and serves the steps. Nothing made on
// the other thread is read here: the steps themselves travel under the
// hand-off's own locks, which ThreadSanitizer sees, and the descriptor carries
// only the wake-up (a write and a read, which it sees as well).
void InstallWakeUp(QWidget* owner) {
  const int descriptor = WakeDescriptor();
  if (descriptor < 0) {
    // No descriptor on this system: a queued call wakes the loop instead.
    SetWakeUiThread([owner] {
      QMetaObject::invokeMethod(
          owner, [] { Trapped([] { ServeUiRequests(); }); }, Qt::QueuedConnection);
    });
    return;
  }
  auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
    // Emptied first: a step handed over from here on signals again.
    DrainWakeDescriptor();
    Trapped([] { ServeUiRequests(); });
  });
  SetWakeUiThread([] { SignalWakeDescriptor(); });
}

}  // namespace

QString AppTitleFromPath(const std::string& path) {
  std::string name = FileNameOf(path);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  const QString title = QString::fromUtf8(name);
  if (title.isEmpty()) return title;
  // The first character (a surrogate pair counts as one) keeps its case.
  const qsizetype first = title.at(0).isHighSurrogate() && title.size() > 1 ? 2 : 1;
  return title.left(first) + title.mid(first).toLower();
}

QString WithErrorFullStop(const QString& text) {
  if (text.isEmpty()) return text;
  if (text.back().unicode() > u'.') return text + u'.';
  return text;
}

QString FatalErrorText(std::exception_ptr error) {
  std::string class_name = "Exception";
  std::string message;
  const void* address = nullptr;
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    class_name = e.ClassName();
    message = e.Message();
    address = e.RaiseAddress();
  } catch (const std::exception& e) {
    class_name = DemangledTypeName(typeid(e));
  } catch (...) {
    class_name = CurrentExceptionTypeName();
  }
  std::string module_path;
  uintptr_t offset = 0;
  if (!ModuleOfAddress(address, module_path, offset)) {
    module_path = ExecutablePath();
    offset = reinterpret_cast<uintptr_t>(address) - 0x1000;
  }
  const std::string module = FileNameOf(module_path);
  const char* stop = !message.empty() && message.back() != '.' ? "." : "";
  // Eight hex digits, as the format says: an offset wider than 32 bits (an
  // address in no module is the address less 0x1000) keeps its low half.
  std::string text =
      Format("Exception %s in module %s at %08X.\r\n%s%s\r\n", class_name.c_str(), module.c_str(),
             static_cast<unsigned>(static_cast<uint32_t>(offset)), message.c_str(), stop);
  if (text.size() > 1024) text.resize(1024);
  return QString::fromUtf8(text);
}

void ReportUnhandledError(std::exception_ptr error) noexcept {
  try {
    if (g_application != nullptr) {
      g_application->ReportUnhandledError(error);
    } else {
      TApplication::ShowFatalErrorBox(error);
    }
  } catch (...) {
    // The display itself failed: nothing is left to show it with.
    std::fputs("Quorvane: an error could not be shown\n", stderr);
  }
}

void ReportUnhandledErrorLater(std::exception_ptr error) noexcept {
  QCoreApplication* core = QCoreApplication::instance();
  if (core == nullptr) {
    ReportUnhandledError(error);
    return;
  }
  QMetaObject::invokeMethod(
      core, [error] { ReportUnhandledError(error); }, Qt::QueuedConnection);
}

TApplication::TApplication(const std::string& program_path)
    : app_title_(AppTitleFromPath(program_path)) {
  // Every window, and the desktop's task list, shows the program's icon.
  QApplication::setWindowIcon(ApplicationIcon());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  hidden_window_ = std::make_unique<THiddenAppWindow>(app_title_);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    hidden_window_->move(screen->geometry().center());
  g_application = this;
  InstallWakeUp(hidden_window_.get());

  // Log-off: the session-ending signals end the program as a close does.
  const int descriptor = TerminationSignalDescriptor();
  if (descriptor >= 0) {
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, hidden_window_.get());
    QObject::connect(notifier, &QSocketNotifier::activated, hidden_window_.get(), [this] {
      Trapped([this] {
        DrainTerminationSignals();
        RequestQuit();
      });
    });
  } else {
    // Where the system calls instead of signalling, the call comes on a thread
    // of its own and is handed over as a queued call.
    QWidget* target = hidden_window_.get();
    WatchTerminationRequests([this, target] {
      QMetaObject::invokeMethod(
          target, [this] { Trapped([this] { RequestQuit(); }); }, Qt::QueuedConnection);
    });
  }
  // The session manager asks for consent: nothing here objects.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, hidden_window_.get(),
                   [](QSessionManager&) {});
}

TApplication::~TApplication() {
  SetWakeUiThread({});
  WatchTerminationRequests({});
  if (idle_connection_) QObject::disconnect(idle_connection_);
  hidden_window_.reset();
  if (g_application == this) g_application = nullptr;
}

TApplication* TApplication::Instance() {
  return g_application;
}

void TApplication::RegisterStartupHook(std::function<void(const TStartupHook& previous)> hook) {
  TStartupHook previous = std::move(startup_chain_);
  startup_chain_ = [hook = std::move(hook), previous = std::move(previous)] { hook(previous); };
}

void TApplication::RunStartupHooks() {
  if (startup_chain_) startup_chain_();
}

void TApplication::IdleStep() {
  // Serve steps handed over by other threads; when there were any, look at the
  // queue again instead of sleeping.
  bool served = false;
  Trapped([&] { served = ServeUiRequests(); });
  if (served) {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
      dispatcher->wakeUp();
  }
}

void TApplication::RunMessageLoop() {
  running_ = true;
  quit_received_ = false;
  if (main_form_ != nullptr) {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
      idle_connection_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                          hidden_window_.get(), [this] { IdleStep(); });
    }
    main_form_->show();
    QApplication::exec();
    quit_received_ = true;
  }
  running_ = false;
}

void TApplication::RequestQuit() {
  PerfMark(QStringLiteral("quit requested"));
  // Like a posted quit message: what is already queued is handled first.
  QMetaObject::invokeMethod(
      qApp,
      [this] {
        quit_received_ = true;
        QCoreApplication::exit(0);
      },
      Qt::QueuedConnection);
}

void TApplication::ReportUnhandledError(std::exception_ptr error) {
  // A pressed button or a drag in progress is released.
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    if (e.InheritsFrom("EAbort")) return;
    ShowErrorBox(e);
  } catch (...) {
    ShowFatalErrorBox(std::current_exception());
  }
}

void TApplication::ShowErrorBox(const Exception& error) {
  ShowAppMessageBox(WithErrorFullStop(QString::fromUtf8(error.Message())), app_title_,
                    MB_OK | MB_ICONERROR);
}

int TApplication::ShowAppMessageBox(const QString& text, const QString& caption, unsigned flags) {
  QWidget* active = QApplication::activeModalWidget();
  if (active == nullptr) active = QApplication::activeWindow();
  QWidget* owner = active != nullptr ? active : hidden_window_.get();
  // Every other window of the program is disabled while the box is up.
  std::vector<QPointer<QWidget>> disabled;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != active && widget->isVisible() && widget->isEnabled() &&
        widget != hidden_window_.get()) {
      widget->setEnabled(false);
      disabled.emplace_back(widget);
    }
  }
  auto restore = [&] {
    for (const QPointer<QWidget>& widget : disabled) {
      if (widget) widget->setEnabled(true);
    }
    if (active != nullptr) active->activateWindow();
  };
  int result = 0;
  try {
    result = MessageBoxPresenter()(owner, text, caption, flags);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

void TApplication::ShowFatalErrorBox(std::exception_ptr error) {
  const QString text = FatalErrorText(error);
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    MessageBoxPresenter()(nullptr, text, QStringLiteral("Application Error"),
                          MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } else {
    std::fputs(text.toUtf8().constData(), stderr);
  }
}

void TApplication::DestroyMainWindow() {
  QWidget* form = main_form_;
  main_form_ = nullptr;
  delete form;
}

}  // namespace qv
