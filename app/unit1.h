// The main window: toolbar with four commands, the preview box, the hex text
// box, the restored-picture box and the status bar.
#pragma once

#include <QKeySequence>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "conversion/text_forms/text_form_writer.h"

class QAction;
class QMenu;

namespace qv {

class TImage;
class TImageList;
class TIdThreadComponent;
class TMemo;
class TOpenDialog;
class TSaveDialog;
class TTextWorker;
struct TRecognition;
class TPanel;
class TRzSpacer;
class TRzToolButton;
class TRzToolbar;
class TStatusBar;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 924;
  static constexpr int kClientHeight = 601;
  // The commands' keys, after desktop habits; each button's tooltip shows its key.
  static inline const QKeySequence kOpenKey{Qt::CTRL | Qt::Key_O};
  static inline const QKeySequence kToHexKey{Qt::CTRL | Qt::Key_E};
  static inline const QKeySequence kToPictureKey{Qt::CTRL | Qt::Key_R};
  static inline const QKeySequence kExitKey{Qt::CTRL | Qt::Key_Q};

  explicit TForm1(QWidget* owner);
  // Hides the window, ends the worker (a run in progress is awaited while its
  // steps are served), then takes the members down, the last created first.
  ~TForm1() override;

  // Members, named as in the form description.
  TRzToolbar* RzToolbar1 = nullptr;
  TRzToolButton* RzToolButton1 = nullptr;
  TRzSpacer* RzSpacer1 = nullptr;
  TRzToolButton* RzToolButton2 = nullptr;
  TRzSpacer* RzSpacer2 = nullptr;
  TRzToolButton* RzToolButton3 = nullptr;
  TRzSpacer* RzSpacer3 = nullptr;
  TRzToolButton* RzToolButton4 = nullptr;
  TPanel* Panel1 = nullptr;
  TImage* Image1 = nullptr;
  TMemo* Memo1 = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image2 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  std::unique_ptr<TOpenDialog> OpenDialog1;
  std::unique_ptr<TImageList> ImageList1;
  std::unique_ptr<TIdThreadComponent> IdThreadComponent1;

  // The commands.
  void RzToolButton1Click();
  void RzToolButton2Click();
  void RzToolButton3Click();
  void RzToolButton4Click();
  void IdThreadComponent1Run(TIdThreadComponent& sender);
  // For tests: called on the worker after each step of a run ("taken",
  // "encoded", "wrapped"); whatever it raises fails the run there.
  std::function<void(const char* step)> OnRunStep;

  // Additions beside the four commands. The text box's tools
  // (unit1_text_tools.cpp): its menu after the edit entries, tidying pasted
  // hex into the strict run, copying and saving the bytes in other forms,
  // loading a text file; long work runs on TextWorker.
  void ExtendMemoMenu(QMenu& menu);
  void TidyHexText();
  void CopyHexTextAs(TTextForm form);
  void OpenHexText();
  void LoadHexTextFile(const std::string& path);
  void SaveHexText();
  // Writes the bytes of the box's hex (strict reading) in `form` to `path` on the worker.
  void SaveHexTextTo(const std::string& path, TTextForm form);
  // The restored picture's menu and both boxes' tooltips (unit1_picture_tools.cpp).
  void ShowPictureMenu(const QPoint& global_pos);
  QMenu* CreatePictureMenu();
  void SavePicture();
  void SavePictureTo(const std::string& path);
  void CopyPicture();
  // Files from the desktop (unit1_files.cpp): a picture opens as the open
  // command opens it; a text file dropped on the text box loads into it.
  void OpenPictureFromDesktop(const std::string& path);
  void OpenStartupFiles(const QStringList& arguments);
  void DropFiles(const QStringList& paths, bool on_text_box);

  std::unique_ptr<TTextWorker> TextWorker;
  std::unique_ptr<TOpenDialog> TextOpenDialog;
  std::unique_ptr<TSaveDialog> TextSaveDialog;
  std::unique_ptr<TSaveDialog> PictureSaveDialog;
  QAction* SaveHexTextAction = nullptr;  // Ctrl+S in the text box, and the menu's entry
  // The file the preview shows, once one was opened.
  std::string PreviewFileName;

  // Geometry scale: text height of the window font / 13 (1 at 96 dpi with the
  // reference font).
  double Scale() const { return scale_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QRect Scaled(int left, int top, int width, int height) const;
  void CenterOnScreen();
  void CenterOnceFramed();
  void SetupAdditions();
  void ReportHexStop(std::string_view text, bool stopped);
  void ApplyTidy(const TRecognition& recognition, uint64_t revision,
                 const std::function<void()>& replace);
  int Ask(const QString& text, unsigned flags);
  void SetStatus(const std::string& text);
  QString last_stop_report_;  // the stop report on the status bar, if it is still there

  double scale_ = 1.0;
  bool placed_ = false;
  bool framed_ = false;  // centred again once the frame's size was known
};

}  // namespace qv
