// The main window: its members built and placed, centred on the screen once
// framed, and closing as the program's end; its commands are in unit1_commands.cpp.
#include "app/unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include <QAction>

#include "app/accessibility.h"
#include "app/application.h"
#include "app/colors.h"
#include "app/error_trap.h"
#include "app/image_box.h"
#include "app/image_list.h"
#include "app/memo/memo.h"
#include "app/open_dialog.h"
#include "app/panel.h"
#include "app/picture_facts.h"
#include "app/save_dialog.h"
#include "app/status_bar.h"
#include "app/support/perf_trace.h"
#include "app/support/trapped_action.h"
#include "app/text_worker.h"
#include "app/tool_button.h"
#include "app/toolbar.h"
#include "conversion/threads/id_thread_component.h"

namespace qv {
namespace {

constexpr int kReferenceTextHeight = 13;

QFont WindowFont() {
  QFont font(QStringLiteral("Tahoma"));
  double pixels = 11;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const double dpi = screen->logicalDotsPerInch();
    if (std::abs(dpi - 96.0) > 0.01) pixels = std::round(pixels * dpi / 96.0);
  }
  font.setPixelSize(static_cast<int>(pixels));
  return font;
}

}  // namespace

TForm1::TForm1(QWidget* owner) : QWidget(owner) {
  InstallWindowAccessibility();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Quorvane"));
  // A normal top-level window (a dialog-type one gets no taskbar button on
  // several desktops) with a fixed frame: system menu and close button only;
  // the fixed size below keeps it from being resized or maximised. Windows
  // needs a frame without a sizing border for that (the X11 hints do it on Linux).
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ButtonFaceColor());
  setPalette(palette);
  setAutoFillBackground(true);

  setFont(WindowFont());
  const int text_height = QFontMetrics(font()).height();
  if (text_height != kReferenceTextHeight)
    scale_ = static_cast<double>(text_height) / kReferenceTextHeight;
  setFixedSize(Scaled(0, 0, kClientWidth, kClientHeight).size());

  OpenDialog1 = std::make_unique<TOpenDialog>(this);
  ImageList1 = std::make_unique<TImageList>();

  Memo1 = new TMemo(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(Scaled(8, 263, 313, 311));
  Memo1->OnError = [](std::exception_ptr error) { ReportUnhandledError(error); };
  Memo1->setAccessibleName(QString::fromUtf8("16进制文本"));
  Memo1->setAccessibleDescription(QString::fromUtf8("图片的16进制文本，可以编辑"));

  Panel1 = new TPanel(this, TPanel::TFrame::FlatEtched);
  Panel1->setGeometry(Scaled(8, 32, 313, 225));
  Image1 = new TImage(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAccessibleName(QString::fromUtf8("打开的图片"));
  Image1->setGeometry(Panel1->ClientRect());

  Panel2 = new TPanel(this, TPanel::TFrame::RaisedBevel);
  Panel2->setGeometry(Scaled(327, 35, 589, 539));
  Image2 = new TImage(Panel2);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setAccessibleName(QString::fromUtf8("还原的图片"));
  Image2->setGeometry(Panel2->ClientRect());

  RzToolbar1 = new TRzToolbar(this);
  RzToolbar1->setGeometry(0, 0, width(), Scaled(0, 0, 0, 29).height());
  // The row height and the members' sizes scale with the rest of the window.
  RzToolbar1->SetRowHeight(Scaled(0, 0, 0, TRzToolbar::kRowHeight).height());
  RzToolbar1->setAccessibleName(QString::fromUtf8("工具栏"));
  RzToolbar1->setAccessibleDescription(QString::fromUtf8("程序的四个命令"));
  auto add_button = [&](const char* caption, int image_index, void (TForm1::*handler)(),
                        QKeySequence key, const char* description) {
    auto* button =
        new TRzToolButton(RzToolbar1, QString::fromUtf8(caption), ImageList1.get(), image_index);
    button->resize(button->width(), Scaled(0, 0, 0, button->height()).height());
    button->OnClick = [this, handler] { (this->*handler)(); };
    RzToolbar1->AddControl(button);
    // The same command from the keyboard, anywhere in the window; the text
    // box's own keys (clipboard, undo, select all) are none of these.
    auto* action = new QAction(this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    ConnectTrapped(
        action, [this, handler] { (this->*handler)(); }, ReportUnhandledError);
    addAction(action);
    button->SetShortcut(key, QString::fromUtf8(description));
    return button;
  };
  auto add_spacer = [&] {
    auto* spacer = new TRzSpacer(RzToolbar1);
    spacer->resize(Scaled(0, 0, spacer->width(), spacer->height()).size());
    RzToolbar1->AddControl(spacer);
    return spacer;
  };
  RzToolButton1 =
      add_button("打开图片", 0, &TForm1::RzToolButton1Click, kOpenKey, "打开JPEG图片文件");
  RzSpacer1 = add_spacer();
  RzToolButton2 = add_button("图片转16进制", 2, &TForm1::RzToolButton2Click, kToHexKey,
                             "把打开的图片转为16进制文本");
  RzSpacer2 = add_spacer();
  RzToolButton3 = add_button("16进制图片还原", 4, &TForm1::RzToolButton3Click, kToPictureKey,
                             "把文本框中的16进制文本还原为图片");
  RzSpacer3 = add_spacer();
  RzToolButton4 = add_button("退出", 6, &TForm1::RzToolButton4Click, kExitKey, "退出程序");
  // Tab goes from the text box along the buttons and back.
  setTabOrder(Memo1, RzToolButton1);
  setTabOrder(RzToolButton1, RzToolButton2);
  setTabOrder(RzToolButton2, RzToolButton3);
  setTabOrder(RzToolButton3, RzToolButton4);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->setGeometry(Scaled(0, 582, 924, 19));

  IdThreadComponent1 = std::make_unique<TIdThreadComponent>();
  IdThreadComponent1->OnRun = [this](TIdThreadComponent& sender) { IdThreadComponent1Run(sender); };

  SetupAdditions();
  Memo1->setFocus();
  StartPerfStallWatch(this);
}

TForm1::~TForm1() {
  // Off the screen at once, then the worker: a long run is awaited without a
  // frozen window, and its steps may still reach the controls below.
  hide();
  IdThreadComponent1.reset();
  TextWorker.reset();  // a text job's steps reach the controls below too
  delete StatusBar1;
  delete RzToolbar1;  // with its buttons and separators
  delete Panel2;      // with Image2
  delete Panel1;      // with Image1
  delete Memo1;
  ImageList1.reset();
  OpenDialog1.reset();
}

// The additions beside the four commands; each leaves the specified members
// and their behaviour as they are.
void TForm1::SetupAdditions() {
  TextWorker = std::make_unique<TTextWorker>();
  TextOpenDialog = std::make_unique<TOpenDialog>(this);
  TextOpenDialog->Options.insert(TOpenOption::ofFileMustExist);
  TextSaveDialog = std::make_unique<TSaveDialog>(this);
  PictureSaveDialog = std::make_unique<TSaveDialog>(this);

  Memo1->OnExtendContextMenu = [this](QMenu& menu) { ExtendMemoMenu(menu); };
  SaveHexTextAction = new QAction(QString::fromUtf8("保存16进制文本(&S)…"), Memo1);
  SaveHexTextAction->setObjectName(QStringLiteral("saveHexText"));
  SaveHexTextAction->setShortcut(QKeySequence::Save);
  SaveHexTextAction->setShortcutContext(Qt::WidgetShortcut);
  ConnectTrapped(
      SaveHexTextAction, [this] { SaveHexText(); }, ReportUnhandledError);
  Memo1->addAction(SaveHexTextAction);

  Image2->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Image2, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    Trapped([&] { ShowPictureMenu(Image2->mapToGlobal(pos)); });
  });
  Image1->ToolTipText = [this] { return PictureToolTip(Image1->Picture(), PreviewFileName); };
  Image2->ToolTipText = [this] { return PictureToolTip(Image2->Picture(), {}); };
  setAcceptDrops(true);
}

QRect TForm1::Scaled(int left, int top, int width, int height) const {
  auto s = [this](int v) { return static_cast<int>(std::lround(v * scale_)); };
  return QRect(s(left), s(top), s(width), s(height));
}

void TForm1::CenterOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect desktop = screen->virtualGeometry();
  const QRect available = screen->geometry();
  // The frame as the window manager reports it (none before it has framed the
  // window); the widget's own cached frame size can lag behind.
  const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  const QSize outer = size().grownBy(frame);
  int left = available.left() + (available.width() - outer.width()) / 2;
  int top = available.top() + (available.height() - outer.height()) / 2;
  left = std::max(left, desktop.left());
  top = std::max(top, desktop.top());
  // Placed by the client area, which needs no frame size of Qt's.
  setGeometry(QRect(QPoint(left + frame.left(), top + frame.top()), size()));
}

void TForm1::showEvent(QShowEvent* event) {
  Trapped([&] {
    if (!placed_) {
      placed_ = true;
      CenterOnScreen();
      // Framing shows as an exposure (the position may not change).
      if (QWindow* window = windowHandle()) window->installEventFilter(this);
    }
    Memo1->setFocus();
  });
  QWidget::showEvent(event);
}

void TForm1::CenterOnceFramed() {
  // The window manager tells the frame's size only once it has framed the
  // window: centre again then, on the outer size; once, so that a move by the
  // user stays.
  if (!placed_ || framed_ || windowHandle() == nullptr || windowHandle()->frameMargins().isNull())
    return;
  framed_ = true;
  windowHandle()->removeEventFilter(this);
  CenterOnScreen();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose)
    Trapped([&] { CenterOnceFramed(); });
  return QWidget::eventFilter(watched, event);
}

void TForm1::moveEvent(QMoveEvent* event) {
  Trapped([&] { CenterOnceFramed(); });
  QWidget::moveEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
  Trapped([&] {
    // The first activation gives the focus to the only control that takes it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && focusWidget() == nullptr)
      Memo1->setFocus();
    if (event->type() == QEvent::ActivationChange) CenterOnceFramed();
  });
  QWidget::changeEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  TApplication* application = TApplication::Instance();
  if (application != nullptr && application->MainForm() == this) {
    // Closing the main window ends the program; it stays on screen until then.
    event->ignore();
    Trapped([&] { application->RequestQuit(); });
    return;
  }
  event->accept();
}

}  // namespace qv
