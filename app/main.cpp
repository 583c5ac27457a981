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
#include "app/message_box.h"
#include "app/qt_translations.h"
#include "app/support/perf_trace.h"
#include "app/unit1.h"
#include "base/platform.h"
#include "conversion/jpeg_registration.h"
#include "conversion/jpeg_settings.h"
#include "conversion/threads/ui_handoff.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

namespace {

std::string g_program_name = "quorvane";

const char* const kUsageText =
    "Usage: quorvane [--help | --version]\n"
    "\n"
    "Opens the Quorvane window, which turns a JPEG picture into hex text and back.\n"
    "\n"
    "Keys in the window:\n"
    "  Ctrl+O   open a picture (打开图片)\n"
    "  Ctrl+E   picture to hex (图片转16进制)\n"
    "  Ctrl+R   restore the picture from hex (16进制图片还原)\n"
    "  Ctrl+Q   exit (退出)\n"
    "  Tab      from the text box to the buttons and back; Space or Enter presses a button\n"
    "\n"
    "The command-line companion is quorvane-hex (quorvane-hex --help).\n";

// --help and --version answer on standard output without starting the window
// (nor needing a display); true when one was given.
bool AnsweredInfoRequest(int argc, char** argv) {
  if (argc != 2) return false;
  const std::string argument = argv[1];
  if (argument == "--help" || argument == "-h") {
    std::fputs(kUsageText, stdout);
    return true;
  }
  if (argument == "--version" || argument == "-V") {
    std::printf("quorvane %s\n", QUORVANE_VERSION);
    return true;
  }
  return false;
}

std::mutex g_held_mutex;  // Qt may report from its own threads while starting
std::vector<std::pair<QtMsgType, QString>> g_held_messages;
QMessageLogContext g_no_context;

// The window system plugin Qt tried last, as its messages name it
// ("... Qt platform plugin "NAME" in "FOLDER"..."), and whether it was not
// there at all. Called under g_held_mutex.
struct TPluginFailure {
  std::string name, folder;
  bool missing = false;
};
TPluginFailure LastPluginFailure() {
  TPluginFailure failure;
  const QString marker = QStringLiteral("Qt platform plugin \"");
  for (const auto& held : g_held_messages) {
    const QString& text = held.second;
    const qsizetype at = text.indexOf(marker);
    if (at < 0) continue;
    const QStringList parts = text.mid(at + marker.size()).split(QLatin1Char('"'));
    failure.name = parts.value(0).toStdString();
    failure.folder = parts.size() > 2 ? parts.value(2).toStdString() : std::string();
    failure.missing = text.startsWith(QStringLiteral("Could not find"));
  }
  return failure;
}

// Why the platform could not start, in one line.
std::string NoDisplayLine(const TPluginFailure& plugin) {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const QByteArray x_display = qgetenv("DISPLAY");
  const QByteArray wayland_display = qgetenv("WAYLAND_DISPLAY");
  const bool display_system = plugin.name.empty() || plugin.name.rfind("xcb", 0) == 0 ||
                              plugin.name.rfind("wayland", 0) == 0;
  std::string why;
  if (plugin.missing) {
    why = "the window system plugin \"" + plugin.name + "\" is missing" +
          (plugin.folder.empty() ? "" : " from \"" + plugin.folder + "\"") +
          "; installing the program again may mend this";
  } else if (!display_system) {
    why = "the window system \"" + plugin.name + "\" could not be started";
  } else if (!platform.isEmpty() && !platform.startsWith("xcb") &&
             !platform.startsWith("wayland")) {
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

// The same reason for a user who started the program from the desktop, where
// no terminal shows that line.
std::string StartupFailureBoxText(const TPluginFailure& plugin) {
  if (plugin.missing)
    return "无法显示窗口：缺少窗口系统插件“" + plugin.name + "”" +
           (plugin.folder.empty() ? "" : "（在“" + plugin.folder + "”中找不到）") +
           "。\n\n重新安装本程序可以解决这个问题。";
  if (plugin.name.empty()) return "无法显示窗口。";
  return "无法显示窗口：窗口系统“" + plugin.name + "”无法启动。";
}

// While Qt starts its window system: a fatal failure (no display, no usable
// platform plugin) ends the program with one clear line and exit code 1
// instead of Qt's abort, and with a box where the system shows those; other
// messages are held and passed on afterwards.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    TPluginFailure plugin;
    {
      const std::lock_guard lock(g_held_mutex);
      plugin = LastPluginFailure();
    }
    std::fprintf(stderr, "%s\n", NoDisplayLine(plugin).c_str());
    std::fflush(stderr);
    qv::ShowSystemMessageBox(0, StartupFailureBoxText(plugin), "Quorvane",
                             qv::MB_OK | qv::MB_ICONERROR);
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
  if (AnsweredInfoRequest(argc, argv)) return 0;
  const QtMessageHandler previous_handler = qInstallMessageHandler(StartupMessageHandler);
  QApplication qt_application(argc, argv);
  qInstallMessageHandler(previous_handler);
  std::vector<std::pair<QtMsgType, QString>> held;
  {
    const std::lock_guard lock(g_held_mutex);
    held.swap(g_held_messages);
  }
  for (const auto& [type, message] : held) qt_message_output(type, g_no_context, message);
  qv::InstallQtChineseTranslations();
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
  // The halt ran to its end (a log-off test reads this: a process the system
  // ended before that would not get here).
  qv::PerfMark(QStringLiteral("halted"));
  return exit_code;
}
