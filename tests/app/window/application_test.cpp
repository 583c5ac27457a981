#include "app/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/platform.h"

#include "app/error_trap.h"
#include "app/message_box.h"
#include "base/exceptions.h"
#include "base/format.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {
namespace {

struct ShownBox {
  QString text, caption;
  unsigned flags;
};

// Replaces the box presenter for one test and records what would be shown.
class BoxRecorder {
 public:
  BoxRecorder() : saved_(MessageBoxPresenter()) {
    MessageBoxPresenter() = [this](QWidget*, const QString& text, const QString& caption,
                                   unsigned flags) {
      boxes.push_back({text, caption, flags});
      return IDOK;
    };
  }
  ~BoxRecorder() { MessageBoxPresenter() = saved_; }
  std::vector<ShownBox> boxes;

 private:
  TMessageBoxPresenter saved_;
};

TEST(AppTitle, FollowsTheProgramFileName) {
  struct Case {
    const char* path;
    const char* title;
  };
  for (const Case& c : std::vector<Case>{{"/usr/bin/HEXTOOL", "Hextool"},
                                         {"/opt/x/my.tool", "my"},
                                         {"/opt/x/my.tool.exe", "my"},
                                         {"C:\\Apps\\HEXTOOL.EXE", "Hextool"},
                                         {"/usr/bin/quorvane", "quorvane"},
                                         {"/tmp/Ärger.bin", "Ärger"},
                                         {"/tmp/ÉCOLE", "École"},
                                         {"/tmp/.hidden", ""}}) {
    EXPECT_EQ(AppTitleFromPath(c.path), QString::fromUtf8(c.title)) << c.path;
  }
}

TEST(ShowErrorBox, AddsAFullStopOnlyAfterCharactersAboveIt) {
  BoxRecorder recorder;
  TApplication application("/usr/bin/HEXTOOL");
  struct Case {
    const char* message;
    const char* shown;
  };
  const std::vector<Case> cases = {
      {"JPEG error #53", "JPEG error #53."},
      {"Unknown picture file extension (.)", "Unknown picture file extension (.)"},
      {"Unknown picture file extension (.bmpx)", "Unknown picture file extension (.bmpx)"},
      {"Already ends.", "Already ends."},
      {"", ""},
      {"图片转换完成。", "图片转换完成。."},
      {"请选择图片！", "请选择图片！."},
      {"ends with a hyphen -", "ends with a hyphen -"},
      {"ends with a space ", "ends with a space "},
      {"ends with a colon:", "ends with a colon:."},
  };
  for (const Case& c : cases) {
    application.ReportUnhandledError(std::make_exception_ptr(EJPEG(c.message)));
  }
  ASSERT_EQ(recorder.boxes.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(recorder.boxes[i].text, QString::fromUtf8(cases[i].shown)) << cases[i].message;
    EXPECT_EQ(recorder.boxes[i].caption, QStringLiteral("Hextool"));
    EXPECT_EQ(recorder.boxes[i].flags, MB_OK | MB_ICONERROR);
  }
}

TEST(ReportUnhandledError, AbortIsSilentAndForeignErrorsGetTheFatalBox) {
  BoxRecorder recorder;
  TApplication application("/usr/bin/quorvane");
  application.ReportUnhandledError(std::make_exception_ptr(EAbort("quiet")));
  EXPECT_TRUE(recorder.boxes.empty());

  application.ReportUnhandledError(std::make_exception_ptr(std::runtime_error("boom")));
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].caption, QStringLiteral("Application Error"));
  EXPECT_EQ(recorder.boxes[0].flags, 0x2010u);
  EXPECT_TRUE(
      recorder.boxes[0].text.startsWith(QStringLiteral("Exception std::runtime_error in module ")))
      << recorder.boxes[0].text.toStdString();
  EXPECT_TRUE(recorder.boxes[0].text.endsWith(QStringLiteral(".\r\n\r\n")))
      << recorder.boxes[0].text.toStdString();
}

// A box with a short text is still wide enough for its title in the title bar,
// and one with a long text keeps its text's width.
TEST(ShowQtMessageBox, IsWideEnoughForItsTitle) {
  const struct {
    QString caption, text;
  } cases[] = {
      {QStringLiteral("quorvane"), QStringLiteral("JPEG error #53.")},
      {QStringLiteral("Application Error"),
       QStringLiteral("Exception EJPEG in module quorvane at 0001A2B3.\r\nJPEG error #53.")},
      {QString::fromUtf8("提示"), QString::fromUtf8("请选择图片！")},
  };
  for (const auto& c : cases) {
    int width = 0;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
      QWidget* box = QApplication::activeModalWidget();
      width = box->width();
      box->close();
    });
    ShowQtMessageBox(nullptr, c.text, c.caption, MB_OK | MB_ICONERROR);
    EXPECT_GE(width, MessageBoxTitleWidth(c.caption)) << c.caption.toStdString();
    EXPECT_GT(MessageBoxTitleWidth(c.caption),
              QFontMetrics(QApplication::font()).horizontalAdvance(c.caption));
  }
}

TEST(FatalErrorText, NamesClassModuleAddressAndMessage) {
  std::exception_ptr error;
  try {
    throw EOutOfResources("Error creating window class");
  } catch (...) {
    error = std::current_exception();
  }
  const std::string text = FatalErrorText(error).toStdString();
  // "Exception EOutOfResources in module test_window at 0012AB34.\r\nError creating window
  // class.\r\n"
  const std::string head =
      "Exception EOutOfResources in module " + FileNameOf(ExecutablePath()) + " at ";
  ASSERT_EQ(text.rfind(head, 0), 0u) << text;
  const std::string address = text.substr(head.size(), 8);
  EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  EXPECT_EQ(text.substr(head.size() + 8), ".\r\nError creating window class.\r\n");

  // A message that already ends in a full stop gets none; an empty one none.
  EXPECT_TRUE(FatalErrorText(std::make_exception_ptr(EJPEG("Done.")))
                  .endsWith(QStringLiteral("\r\nDone.\r\n")));
  EXPECT_TRUE(
      FatalErrorText(std::make_exception_ptr(EJPEG(""))).endsWith(QStringLiteral(".\r\n\r\n")));
  // Cut at 1024 characters.
  EXPECT_EQ(FatalErrorText(std::make_exception_ptr(EJPEG(std::string(5000, 'x')))).size(), 1024);
}

TEST(FatalErrorText, AddressIsAlwaysEightHexDigits) {
  // Errors raised here carry an address in this module; the others none, which
  // counts as an address in no module (the address less 0x1000, wider than 32 bits).
  std::exception_ptr raised;
  try {
    throw EJPEG("raised");
  } catch (...) {
    raised = std::current_exception();
  }
  const std::vector<std::exception_ptr> errors = {
      raised, std::make_exception_ptr(EJPEG("no address")),
      std::make_exception_ptr(std::runtime_error("foreign")), std::make_exception_ptr(42)};
  for (const std::exception_ptr& error : errors) {
    const std::string text = FatalErrorText(error).toStdString();
    const size_t at = text.find(" at ");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t end = text.find(".\r\n", at);
    ASSERT_NE(end, std::string::npos) << text;
    const std::string address = text.substr(at + 4, end - at - 4);
    EXPECT_EQ(address.size(), 8u) << text;
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  }
}

struct FailingForm : QWidget {
  explicit FailingForm(QWidget*) { throw EOutOfResources("Error creating window class"); }
};

TEST(CreateMainWindow, ClearsTheReferenceWhenConstructionFails) {
  TApplication application("/usr/bin/quorvane");
  FailingForm* form = reinterpret_cast<FailingForm*>(0x1);
  EXPECT_THROW(application.CreateMainWindow(form), EOutOfResources);
  EXPECT_EQ(form, nullptr);
  EXPECT_EQ(application.MainForm(), nullptr);
}

TEST(StartupHooks, RunLastRegisteredFirstEachCallingThePreviousFirst) {
  TApplication application("/usr/bin/quorvane");
  std::vector<std::string> order;
  application.RegisterStartupHook([&](const TApplication::TStartupHook& previous) {
    order.push_back("enter first");
    if (previous) previous();
    order.push_back("first");
  });
  application.RegisterStartupHook([&](const TApplication::TStartupHook& previous) {
    order.push_back("enter second");
    if (previous) previous();
    order.push_back("second");
  });
  application.RunStartupHooks();
  EXPECT_EQ(order, (std::vector<std::string>{"enter second", "enter first", "first", "second"}));
}

TEST(ShowAppMessageBox, DisablesOtherWindowsAndEnablesThemAgainEvenWhenTheBoxFails) {
  TApplication application("/usr/bin/quorvane");
  QWidget other;
  other.show();
  ASSERT_TRUE(other.isEnabled());
  bool was_disabled = false;
  const TMessageBoxPresenter saved = MessageBoxPresenter();
  MessageBoxPresenter() = [&](QWidget*, const QString&, const QString&, unsigned) -> int {
    was_disabled = !other.isEnabled();
    throw EOutOfResources("no box");
  };
  EXPECT_THROW(application.ShowAppMessageBox("t", "c", MB_OK), EOutOfResources);
  MessageBoxPresenter() = saved;
  EXPECT_TRUE(was_disabled);
  EXPECT_TRUE(other.isEnabled());
}

TEST(ErrorTrap, ReportsEscapingErrorsThroughTheApplication) {
  BoxRecorder recorder;
  TApplication application("/usr/bin/quorvane");
  Trapped([] { throw EJPEG(Format("JPEG error #%d", 53)); });
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, QStringLiteral("JPEG error #53."));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Hands `count` steps over from a new thread. Each step reads a value the
// worker made just before and writes one the worker reads after, so a wake-up
// that only Qt's uninstrumented locking orders shows up as a race under
// ThreadSanitizer; `last` runs on the UI thread after the final step.
std::thread HandOverSteps(int count, std::vector<int>& seen, std::function<void()> last) {
  return std::thread([count, &seen, last = std::move(last)] {
    for (int i = 0; i < count; ++i) {
      auto payload = std::make_unique<int>(i);
      RunOnUiThread([&] {
        seen.push_back(*payload);
        *payload = -1;
      });
      if (*payload != -1) std::abort();  // the step's write must be visible here
    }
    RunOnUiThread(last);
  });
}

std::vector<int> Iota(int count) {
  std::vector<int> values(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) values[static_cast<size_t>(i)] = i;
  return values;
}

TEST(WakeUp, ServesThousandsOfHandOversInTheEventLoopAndInAModalLoop) {
  // Only the wake-up serves here: neither loop has the application's idle step.
  TApplication application("/usr/bin/quorvane");
  constexpr int kSteps = 4000;
  // A wake-up that gets lost would hang the loops; this ends them instead.
  constexpr int kDeadlockGuardMs = 240000;

  std::vector<int> in_loop;
  QEventLoop loop;
  std::thread first = HandOverSteps(kSteps, in_loop, [&] { loop.quit(); });
  QTimer::singleShot(kDeadlockGuardMs, &loop, [&] {
    ADD_FAILURE() << "the event loop stopped serving after " << in_loop.size() << " steps";
    loop.exit(1);
  });
  loop.exec();
  first.join();
  EXPECT_EQ(in_loop, Iota(kSteps));

  std::vector<int> in_dialog;
  QDialog dialog;
  std::thread second = HandOverSteps(kSteps, in_dialog, [&] { dialog.accept(); });
  QTimer::singleShot(kDeadlockGuardMs, &dialog, [&] {
    ADD_FAILURE() << "the modal loop stopped serving after " << in_dialog.size() << " steps";
    dialog.reject();
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  second.join();
  EXPECT_EQ(in_dialog, Iota(kSteps));
}

}  // namespace
}  // namespace qv
