// The application object: one per process. It owns the hidden application
// window (wake-up target, owner of boxes when no window is active), the error
// display, the message loop with its idle step, and the orderly quit.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace qv {

class Exception;

// The title that captions error boxes, from the program's file name: the name
// after the last '/' or '\', cut at its first '.', lower case after the first
// character ("HEXTOOL" -> "Hextool", "my.tool" -> "my").
QString AppTitleFromPath(const std::string& path);

// ShowErrorBox's rule: a non-empty text whose last character is above '.'
// gets a full stop.
QString WithErrorFullStop(const QString& text);

// The fatal error box text: "Exception %s in module %s at %p.\r\n%s%s\r\n".
QString FatalErrorText(std::exception_ptr error);

class TApplication {
 public:
  // Needs a QApplication. Installs the wake-up of the UI hand-off.
  explicit TApplication(const std::string& program_path);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  static TApplication* Instance();

  const QString& AppTitle() const { return app_title_; }
  QWidget* MainForm() const { return main_form_; }
  bool MainWindowOnTaskbar = false;
  bool Running() const { return running_; }
  bool QuitReceived() const { return quit_received_; }

  // Hooks run last registered first; each gets the hook it replaced and calls
  // it before its own work.
  using TStartupHook = std::function<void()>;
  void RegisterStartupHook(std::function<void(const TStartupHook& previous)> hook);
  void RunStartupHooks();

  // Stores the new window in `ref` before constructing it; on failure `ref`
  // is cleared again and the error goes on.
  template <class TForm>
  void CreateMainWindow(TForm*& ref) {
    void* memory = ::operator new(sizeof(TForm));
    ref = static_cast<TForm*>(memory);
    try {
      new (memory) TForm(nullptr);
    } catch (...) {
      ref = nullptr;
      ::operator delete(memory);
      throw;
    }
    if (main_form_ == nullptr) main_form_ = ref;
  }

  // Shows the main window and runs the loop until the quit request.
  void RunMessageLoop();
  // The main window's close: the loop ends after the events already queued.
  void RequestQuit();

  void ReportUnhandledError(std::exception_ptr error);
  void ShowErrorBox(const Exception& error);
  int ShowAppMessageBox(const QString& text, const QString& caption, unsigned flags);
  // No owner, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL; standard
  // error when there is no QApplication.
  static void ShowFatalErrorBox(std::exception_ptr error);

  // Destroys the main window (it waits for a worker run first, serving its steps).
  void DestroyMainWindow();

 private:
  void IdleStep();

  QString app_title_;
  std::unique_ptr<QWidget> hidden_window_;
  QWidget* main_form_ = nullptr;
  TStartupHook startup_chain_;
  bool running_ = false;
  bool quit_received_ = false;
  QMetaObject::Connection idle_connection_;
};

}  // namespace qv
