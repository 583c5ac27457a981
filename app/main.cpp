// Start-up: the modules in their fixed order, the main sequence, the halt.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/unit1.h"
#include "base/platform.h"
#include "conversion/jpeg_registration.h"
#include "conversion/jpeg_settings.h"
#include "conversion/threads/ui_handoff.h"

namespace {

std::string g_program_name = "quorvane";
std::mutex g_held_mutex;  // Qt may report from its own threads while starting
std::vector<std::pair<QtMsgType, QString>> g_held_messages;
QMessageLogContext g_no_context;

// Why the platform could not start, in one line.
std::string NoDisplayLine() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const QByteArray x_display = qgetenv("DISPLAY");
  const QByteArray wayland_display = qgetenv("WAYLAND_DISPLAY");
  std::string why;
  if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland")) {
    why = "the window system \"" + platform.toStdString() + "\" could not be started";
  } else if (x_display.isEmpty() && wayland_display.isEmpty()) {
    why =
        "no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it in a graphical session";
  } else if (!x_display.isEmpty()) {
    why = "cannot connect to the display \"" + x_display.toStdString() + "\"";
  } else {
    why = "cannot connect to the Wayland display \"" + wayland_display.toStdString() + "\"";
  }
  return g_program_name + ": cannot show the window: " + why;
}

// While Qt starts its window system: a fatal failure (no display, no usable
// platform plugin) ends the program with one clear line and exit code 1
// instead of Qt's abort; other messages are held and passed on afterwards.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", NoDisplayLine().c_str());
    std::fflush(stderr);
    std::_Exit(1);
  }
  const std::lock_guard lock(g_held_mutex);
  g_held_messages.emplace_back(type, message);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') {
    g_program_name = qv::FileNameOf(argv[0]);
  }
  const QtMessageHandler previous_handler = qInstallMessageHandler(StartupMessageHandler);
  QApplication qt_application(argc, argv);
  qInstallMessageHandler(previous_handler);
  std::vector<std::pair<QtMsgType, QString>> held;
  {
    const std::lock_guard lock(g_held_mutex);
    held.swap(g_held_messages);
  }
  for (const auto& [type, message] : held) qt_message_output(type, g_no_context, message);
  // Only the main window's close ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  int exit_code = 0;
  std::unique_ptr<qv::TApplication> application;
  qv::TForm1* Form1 = nullptr;
  try {
    // The modules' start-up steps.
    application = std::make_unique<qv::TApplication>(qv::ExecutablePath());
    qv::SetUiThread();
    qv::RegisterJPEGFormats();  // after the built-in formats, so JPEG comes last
    qv::ApplyScreenDepthRule();

    // The main sequence.
    application->RunStartupHooks();
    application->MainWindowOnTaskbar = true;
    application->CreateMainWindow(Form1);
    // A file named on the command line ("Open with") opens once the window is up.
    Form1->OpenStartupFiles(QCoreApplication::arguments().mid(1));
    application->RunMessageLoop();
  } catch (...) {
    qv::TApplication::ShowFatalErrorBox(std::current_exception());
    exit_code = 1;
  }

  // The halt: the main window (worker first), then the modules in reverse.
  try {
    if (application) application->DestroyMainWindow();
  } catch (...) {
    qv::TApplication::ShowFatalErrorBox(std::current_exception());
    exit_code = 1;
  }
  qv::UnregisterJPEGFormats();
  application.reset();
  return exit_code;
}
