// The four commands and the worker's run, on the real window offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/image_box.h"
#include "app/memo/memo.h"
#include "app/message_box.h"
#include "app/status_bar.h"
#include "app/unit1.h"
#include "base/exceptions.h"
#include "base/streams.h"
#include "conversion/jpeg_image.h"
#include "conversion/jpeg_registration.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/ui_handoff.h"
#include "graphics/picture.h"
#include "tests/test_support.h"

namespace qv {
namespace {

const std::string kCorpus = QUORVANE_CORPUS_DIR;

using testing_support::ReadAll;
using testing_support::UpperHex;

std::string PictureBytes(TGraphic* graphic) {
  TMemoryStream stream;
  graphic->WriteToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.Size()));
}

class Commands : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJPEGFormats(); }
  static void TearDownTestSuite() { UnregisterJPEGFormats(); }

  void SetUp() override {
    saved_ = MessageBoxPresenter();
    MessageBoxPresenter() = [this](QWidget*, const QString& text, const QString& caption,
                                   unsigned flags) {
      boxes_.push_back({text, caption, flags});
      return IDOK;
    };
    application_ = std::make_unique<TApplication>("/usr/bin/quorvane");
    form_ = std::make_unique<TForm1>(nullptr);
  }
  void TearDown() override {
    form_.reset();
    application_.reset();
    MessageBoxPresenter() = saved_;
  }

  // Starts the conversion and serves its steps until the final status text
  // (the limit, far above a run's time even in the sanitizer builds on a busy
  // machine, only ends a run that never finishes).
  void ConvertToHex() {
    form_->RzToolButton2Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->IdThreadComponent1->Active(); }, 120000));
  }

  struct Box {
    QString text, caption;
    unsigned flags;
  };
  std::vector<Box> boxes_;
  TMessageBoxPresenter saved_;
  std::unique_ptr<TApplication> application_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(Commands, PictureToHexWithNothingOpenedWarnsAndChangesNothing) {
  form_->RzToolButton2Click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, QString::fromUtf8("请选择图片！"));
  EXPECT_EQ(boxes_[0].caption, QString::fromUtf8("提示"));
  EXPECT_EQ(boxes_[0].flags, 0x30u);
  EXPECT_EQ(form_->Memo1->Text(), "\r\n");
  EXPECT_TRUE(form_->StatusBar1->PanelText().isEmpty());
  EXPECT_FALSE(form_->IdThreadComponent1->Active());
}

TEST_F(Commands, PictureToHexThenBackGivesTheFileBytes) {
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  form_->Image1->Picture().OpenPictureFile(path);
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));

  form_->RzToolButton3Click();
  TGraphic* restored = form_->Image2->Picture().HeldGraphic();
  ASSERT_NE(restored, nullptr);
  EXPECT_STREQ(restored->ClassName(), "TJPEGImage");
  EXPECT_EQ(PictureBytes(restored), ReadAll(path));
  EXPECT_TRUE(boxes_.empty());

  // A second run converts again, on a new thread object.
  form_->Memo1->SetText("x");
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
}

TEST_F(Commands, HexToPictureRightAfterStartFailsWith53AndKeepsTheBoxEmpty) {
  try {
    form_->RzToolButton3Click();
    FAIL();
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #53");
  }
  EXPECT_EQ(form_->Image2->Picture().HeldGraphic(), nullptr);
  // An empty text gives a JPEG picture without bytes, and no error.
  form_->Memo1->SetText("");
  form_->RzToolButton3Click();
  ASSERT_NE(form_->Image2->Picture().HeldGraphic(), nullptr);
  EXPECT_FALSE(
      form_->Image2->Picture().HeldGraphic()->IsEmpty());  // an empty byte block is content
  EXPECT_EQ(form_->Image2->Picture().Width(), 0);
}

TEST_F(Commands, HexToPictureReadsLowerCaseAndKeepsTheOldPictureOnFailure) {
  const std::string bytes = ReadAll(kCorpus + "/jpeg/good/ljt-testimggray.jpg");
  std::string lower = UpperHex(bytes);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  form_->Memo1->SetText(lower);
  form_->RzToolButton3Click();
  TGraphic* first = form_->Image2->Picture().HeldGraphic();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(PictureBytes(first), bytes);

  form_->Memo1->SetText("not hex at all");
  EXPECT_THROW(form_->RzToolButton3Click(), EJPEG);
  EXPECT_EQ(form_->Image2->Picture().HeldGraphic(), first);
}

TEST_F(Commands, AFailedRunNamesItsErrorInTheStatusAndALaterRunWorks) {
  // Pictures that open and show but are no JPEG: the run cannot take their bytes.
  for (const char* file :
       {"/bmp/bmpsuite-g-rgb24.bmp", "/png/pngsuite-basn2c08.png", "/ico/irs-bmp-24bpp-mask.ico"}) {
    form_->Image1->Picture().OpenPictureFile(kCorpus + file);
    ASSERT_NE(form_->Image1->Picture().HeldGraphic(), nullptr) << file;
    form_->Memo1->SetText("kept");
    ConvertToHex();
    EXPECT_EQ(form_->Memo1->Text(), "kept") << file;
    EXPECT_EQ(form_->StatusBar1->PanelText(),
              QString::fromUtf8("图片转换失败：Cannot assign a TPicture to a TJPEGImage"))
        << file;
    EXPECT_TRUE(boxes_.empty()) << file;
  }
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  form_->Image1->Picture().OpenPictureFile(path);
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));
}

// Whatever a run raises, at whatever step (an allocation that fails while the
// text box's index is built on the worker, a standard exception, something that
// is no exception class at all), the run ends with the failure status, the box
// keeps its text and a later run works.
TEST_F(Commands, EveryFailureOfARunEndsWithTheFailureStatus) {
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  form_->Image1->Picture().OpenPictureFile(path);
  const struct {
    const char* step;
    std::function<void()> fail;
    const char* message;
  } cases[] = {
      {"wrapped", [] { throw std::bad_alloc(); }, "Out of memory"},
      {"encoded", [] { throw std::bad_alloc(); }, "Out of memory"},
      {"taken", [] { throw std::runtime_error("disk on fire"); }, "disk on fire"},
      {"wrapped", [] { throw 42; }, "Unknown error"},
      {"encoded", [] { throw EOutOfMemory("Out of memory"); }, "Out of memory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.step) + ": " + c.message);
    form_->Memo1->SetText("kept");
    form_->OnRunStep = [&](const char* step) {
      if (std::string(step) == c.step) c.fail();
    };
    ConvertToHex();
    EXPECT_EQ(form_->Memo1->Text(), "kept");
    EXPECT_EQ(form_->StatusBar1->PanelText(),
              QString::fromUtf8("图片转换失败：") + QString::fromUtf8(c.message));
    EXPECT_TRUE(boxes_.empty());
  }
  form_->OnRunStep = nullptr;
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));
}

// The conversion's text replaces the box's as one step that Ctrl+Z takes back.
TEST_F(Commands, UndoBringsBackTheTextAConversionReplaced) {
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  form_->Image1->Picture().OpenPictureFile(path);
  form_->Memo1->SetText("typed by the user");
  ConvertToHex();
  ASSERT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
  form_->Memo1->setFocus();
  QTest::keyClick(form_->Memo1, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(form_->Memo1->Text(), "typed by the user");
  QTest::keyClick(form_->Memo1, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(form_->Memo1->Text(), UpperHex(ReadAll(path)));
}

TEST_F(Commands, AnEmptyJpegFileEmptiesTheTextBox) {
  form_->Image1->Picture().OpenPictureFile(kCorpus + "/jpeg/bad/jdec-empty.jpg");
  ConvertToHex();
  EXPECT_EQ(form_->Memo1->Text(), "");
  EXPECT_EQ(form_->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));
}

TEST_F(Commands, TheFinalStatusShowsOnlyOnceTheTextIsInTheBox) {
  const std::string path = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  const std::string hex = UpperHex(ReadAll(path));
  form_->Image1->Picture().OpenPictureFile(path);
  form_->Memo1->SetText("former text");
  ServeUiRequests();  // nothing of an earlier test may count as a step below
  form_->RzToolButton2Click();
  // The worker hands one step over at a time and waits for it, so serving
  // here shows the window after every single step.
  const QString converted = QString::fromUtf8("图片转换完成");
  std::vector<QString> statuses;
  while (form_->IdThreadComponent1->Active()) {
    if (!WaitForUiRequests(std::chrono::milliseconds(1000))) continue;
    ServeUiRequests();
    const QString status = form_->StatusBar1->PanelText();
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
    if (status == converted) {
      ASSERT_TRUE(form_->Memo1->Text() == hex)
          << "the status says done before the text is in the box";
    }
  }
  EXPECT_EQ(statuses, (std::vector<QString>{QString::fromUtf8("正在转换请等待...."), converted}));
  EXPECT_TRUE(form_->Memo1->Text() == hex);
}

TEST_F(Commands, ControlsUsedOffTheUiThreadEndTheProgramLoudly) {
#if QUORVANE_UI_THREAD_CHECKS
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* what;
    std::function<void(TForm1&)> touch;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"text set", [](TForm1& form) { form.Memo1->SetText("00"); },
       "the text box \\(TMemo\\) used on thread"},
      {"text read", [](TForm1& form) { (void)form.Memo1->Text(); },
       "the text box \\(TMemo\\) used on thread"},
      {"picture read", [](TForm1& form) { (void)form.Image1->Picture(); },
       "a picture box \\(TImage\\) used on thread"},
      {"status set", [](TForm1& form) { form.StatusBar1->SetPanelText("x"); },
       "the status bar \\(TStatusBar\\) used on thread"},
  };
  for (const Case& c : cases) {
    TForm1& form = *form_;
    EXPECT_DEATH(std::thread([&] { c.touch(form); }).join(), c.message) << c.what;
  }
#else
  GTEST_SKIP() << "built without QUORVANE_UI_THREAD_CHECKS";
#endif
}

TEST_F(Commands, ClosingDuringARunLeavesTheBoxAndStatusAsACompletedRunWould) {
  // The program's own flow: the main window's close ends the message loop,
  // and the halt then ends the worker first, serving its steps. What the box
  // and the status hold then is what a run left alone would have left.
  const std::string path = kCorpus + "/jpeg/good/large-pillars-4096x4096-upscaled.jpg";
  TForm1* form = nullptr;
  application_->CreateMainWindow(form);
  ASSERT_NE(form, nullptr);
  form->Image1->Picture().OpenPictureFile(path);
  form->Memo1->SetText("former text");
  // Closed once the run is in its pass (its first step has shown the status).
  QTimer close_when_running;
  close_when_running.setInterval(0);
  QObject::connect(&close_when_running, &QTimer::timeout, form, [&] {
    if (form->StatusBar1->PanelText() != QString::fromUtf8("正在转换请等待....")) return;
    close_when_running.stop();
    form->RzToolButton4Click();
  });
  QTimer::singleShot(0, form, [&] {
    form->RzToolButton2Click();
    close_when_running.start();
  });
  // The message loop without showing the window: Qt paints large areas on its
  // pool threads, which ThreadSanitizer cannot follow into the library.
  QApplication::exec();
  EXPECT_TRUE(application_->QuitReceived());
  form->IdThreadComponent1.reset();  // what destroying the window does first
  EXPECT_TRUE(form->Memo1->Text() == UpperHex(ReadAll(path))) << "the text box lost the run's text";
  EXPECT_EQ(form->StatusBar1->PanelText(), QString::fromUtf8("图片转换完成"));
  application_->DestroyMainWindow();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Commands, ClosingDuringARunEndsCleanly) {
  // Destroying the window ends the worker first, serving its steps meanwhile;
  // the sanitizer builds check that no step meets a destroyed control.
  form_->Image1->Picture().OpenPictureFile(kCorpus +
                                           "/jpeg/good/large-pillars-4096x4096-upscaled.jpg");
  form_->RzToolButton2Click();
  form_.reset();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Commands, ClosingHidesTheWindowBeforeAwaitingTheRun) {
  // Shown but never painted: the order of hiding and awaiting is what counts,
  // and Qt's painting runs on its own pool threads, which ThreadSanitizer
  // (this test runs in its build) reports as races inside the library.
  form_->setAttribute(Qt::WA_DontShowOnScreen);
  form_->show();
  ASSERT_TRUE(form_->isVisible());
  TForm1* form = form_.get();
  bool visible_while_awaited = true;
  std::atomic<bool> running = false;
  form->IdThreadComponent1->OnRun = [form, &visible_while_awaited,
                                     &running](TIdThreadComponent& sender) {
    running = true;
    // Still running when the teardown takes the thread object: look at the
    // window from the UI thread, which serves this step while it waits.
    while (sender.Active()) std::this_thread::yield();
    RunOnUiThread([form, &visible_while_awaited] { visible_while_awaited = form->isVisible(); });
    sender.StopWorker();
  };
  form->IdThreadComponent1->StartWorker();
  while (!running) std::this_thread::yield();
  form_.reset();
  EXPECT_FALSE(visible_while_awaited);
}

}  // namespace
}  // namespace qv
