// Start-up: the modules in their fixed order, the main sequence, the halt.
#include <QApplication>
#include <exception>
#include <memory>

#include "app/application.h"
#include "app/unit1.h"
#include "base/platform.h"
#include "conversion/jpeg_registration.h"
#include "conversion/jpeg_settings.h"
#include "conversion/threads/ui_handoff.h"

int main(int argc, char** argv) {
  QApplication qt_application(argc, argv);
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
