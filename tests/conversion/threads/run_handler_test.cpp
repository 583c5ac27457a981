// The window's run handler, step for step, against stand-in window state: the
// worker engine must carry it as the window will use it.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "conversion/hex_codec.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/ui_handoff.h"
#include "thread_test_support.h"

namespace qv {
namespace {

using testing_support::Gate;
using testing_support::PumpUntil;
using testing_support::SpinUntil;
using testing_support::Watchdog;
using Strings = std::vector<std::string>;

constexpr const char* kConverting = "正在转换请等待....";
constexpr const char* kConverted = "图片转换完成";

// What the source preview holds: a JPEG picture shares its byte block.
struct StandInPicture {
  bool is_jpeg = true;
  std::shared_ptr<const std::string> bytes;
};

// The window's state; touched only on the UI thread (a step run anywhere else
// is counted, and ThreadSanitizer would see the race).
struct StandInWindow {
  StandInPicture image1;
  std::string memo = "former text";
  Strings status_history;
  int off_ui_touches = 0;

  void Touch() {
    if (!IsUiThread()) ++off_ui_touches;
  }
  void SetStatus(const std::string& text) {
    Touch();
    status_history.push_back(text);
  }
};

// Stand-in for the JPEG picture J: takes a share of the source's byte block.
struct StandInJpeg {
  std::shared_ptr<const std::string> bytes;
  void AssignFrom(const StandInPicture& source) {
    if (!source.is_jpeg) throw EConvertError(Format(kCannotAssignText, "TPicture", "TJPEGImage"));
    bytes = source.bytes;
  }
};

// Optional pauses the tests put between steps (called on the worker).
struct Hooks {
  std::function<void(int step)> after_step;
};

void IdThreadComponent1Run(TIdThreadComponent& sender, StandInWindow& window, const Hooks& hooks) {
  auto after = [&](int step) {
    if (hooks.after_step) hooks.after_step(step);
  };
  auto j = std::make_unique<StandInJpeg>();  // 1
  after(1);
  RunOnUiThread([&] { window.SetStatus(kConverting); });  // 2
  after(2);
  RunOnUiThread([&] {  // 3
    window.Touch();
    j->AssignFrom(window.image1);
  });
  after(3);
  std::string text;  // 4, on the worker
  const std::string empty;
  const std::string& bytes = j->bytes ? *j->bytes : empty;
  text.resize(bytes.size() * 2);
  BytesToHexText(reinterpret_cast<const uint8_t*>(bytes.data()), text.data(),
                 static_cast<int32_t>(bytes.size()));
  after(4);
  RunOnUiThread([&] {  // 5
    window.Touch();
    window.memo = std::move(text);
  });
  after(5);
  j.reset();                                             // 6
  RunOnUiThread([&] { window.SetStatus(kConverted); });  // 7
  after(7);
  sender.StopWorker();  // 8
}

std::shared_ptr<const std::string> ReadCorpusFile(const std::string& name) {
  auto bytes =
      std::make_shared<const std::string>(testing_support::ReadAll(testing_support::Corpus(name)));
  EXPECT_FALSE(bytes->empty()) << name;
  return bytes;
}

// The expected text, written apart from the codec that the worker step runs.
using testing_support::UpperHex;

class RunHandler : public ::testing::Test {
 protected:
  RunHandler() : component_(std::make_unique<TIdThreadComponent>()) {
    window_.image1.bytes = ReadCorpusFile("jpeg/good/ljt-testorig.jpg");
    component_->OnRun = [this](TIdThreadComponent& sender) {
      IdThreadComponent1Run(sender, window_, hooks_);
    };
  }
  ~RunHandler() override {
    component_.reset();
    EXPECT_EQ(window_.off_ui_touches, 0);
  }

  TIdThreadComponent& C() { return *component_; }
  bool Ended() { return C().Thread() && C().Thread()->Finished(); }
  // The picture-to-hex command: start, then let the message loop run until the worker ended.
  void Command() {
    C().StartWorker();
    PumpUntil([&] { return Ended(); });
  }

  Watchdog watchdog_{"run handler test"};
  StandInWindow window_;
  Hooks hooks_;
  std::unique_ptr<TIdThreadComponent> component_;
};

TEST_F(RunHandler, TheFirstCommandConvertsOnceAndReportsInOrder) {
  ASSERT_GT(window_.image1.bytes->size(), 1000u);
  Command();
  EXPECT_EQ(window_.memo, UpperHex(*window_.image1.bytes));
  EXPECT_EQ(window_.status_history, (Strings{kConverting, kConverted}));
  EXPECT_TRUE(C().Thread()->Finished());
  EXPECT_EQ(C().Thread()->ExceptionClassName(), "");
  EXPECT_EQ(window_.image1.bytes.use_count(), 1) << "J let go of the byte block";
}

TEST_F(RunHandler, ASourceThatIsNotAJpegPictureChangesNothingAndShowsNoMessage) {
  window_.image1.is_jpeg = false;
  for (int command = 1; command <= 2; ++command) {
    Command();
    EXPECT_EQ(window_.memo, "former text");
    EXPECT_EQ(window_.status_history.back(), kConverting);
    EXPECT_EQ(window_.status_history.size(), static_cast<size_t>(command));
    EXPECT_EQ(C().Thread()->ExceptionClassName(), "EConvertError");
    EXPECT_EQ(C().Thread()->ExceptionMessage(), "Cannot assign a TPicture to a TJPEGImage");
  }
  window_.image1.is_jpeg = true;  // a JPEG picture opened later converts
  Command();
  EXPECT_EQ(window_.memo, UpperHex(*window_.image1.bytes));
  EXPECT_EQ(window_.status_history.back(), kConverted);
}

TEST_F(RunHandler, AnEmptyByteBlockEmptiesTheTextBox) {
  window_.image1.bytes = std::make_shared<const std::string>();
  Command();
  EXPECT_EQ(window_.memo, "");
  EXPECT_EQ(window_.status_history, (Strings{kConverting, kConverted}));
}

TEST_F(RunHandler, ACommandAfterARunConvertsWhatTheSourceShowsThen) {
  Command();
  window_.image1.bytes = ReadCorpusFile("jpeg/good/jpegsuite-baseline-1x1.jpg");
  Command();
  EXPECT_EQ(window_.memo, UpperHex(*window_.image1.bytes));
  EXPECT_EQ(window_.status_history, (Strings{kConverting, kConverted, kConverting, kConverted}));
}

TEST_F(RunHandler, ACommandDuringARunStartsNoSecondRun) {
  Gate at_step4;
  Gate release;
  hooks_.after_step = [&](int step) {
    if (step == 4) {
      at_step4.Open();
      release.Wait();
    }
  };
  C().StartWorker();
  PumpUntil([&] { return at_step4.IsOpen(); });
  C().StartWorker();
  release.Open();
  PumpUntil([&] { return Ended(); });
  EXPECT_EQ(window_.status_history, (Strings{kConverting, kConverted}));
}

TEST_F(RunHandler, ACommandRightAfterTheFinalStatusWaitsForTheOldThreadAndRunsAgain) {
  Gate stopped;
  int run = 0;
  hooks_.after_step = [&](int step) {
    if (step == 1) ++run;
  };
  // The old thread still has its tail to run (a step handed over after StopWorker).
  C().OnCleanup = [&](TIdThreadComponent&) {
    if (run != 1) return;
    stopped.Open();
    RunOnUiThread([&] { window_.SetStatus("tail"); });
  };
  C().StartWorker();
  PumpUntil([&] { return window_.status_history.size() == 2; });
  SpinUntil([&] { return stopped.IsOpen(); });  // not serving: the tail step waits
  EXPECT_EQ(window_.status_history.back(), kConverted);
  EXPECT_FALSE(C().Thread()->Finished());
  C().StartWorker();  // waits for the old thread, serving its tail step
  PumpUntil([&] { return Ended() && window_.status_history.size() == 5; });
  EXPECT_EQ(window_.status_history,
            (Strings{kConverting, kConverted, "tail", kConverting, kConverted}));
}

TEST_F(RunHandler, OpeningAnotherPictureDuringARunKeepsTheOneTakenInStepThree) {
  const auto first = window_.image1.bytes;
  const auto second = ReadCorpusFile("jpeg/good/jpegsuite-baseline-1x1.jpg");
  Gate took_picture;
  Gate release;
  hooks_.after_step = [&](int step) {
    if (step == 3) {
      took_picture.Open();
      release.Wait();
    }
  };
  C().StartWorker();
  PumpUntil([&] { return took_picture.IsOpen(); });
  window_.image1.bytes = second;  // the open command, on the UI thread
  release.Open();
  PumpUntil([&] { return Ended(); });
  EXPECT_EQ(window_.memo, UpperHex(*first));
}

TEST_F(RunHandler, ClosingTheWindowDuringARunWaitsUntilTheTextIsIn) {
  Gate at_step2;
  hooks_.after_step = [&](int step) {
    if (step == 2) at_step2.Open();
  };
  C().StartWorker();
  PumpUntil([&] { return at_step2.IsOpen(); });
  component_.reset();  // the window's teardown destroys the worker first
  EXPECT_EQ(window_.memo, UpperHex(*window_.image1.bytes));
  EXPECT_EQ(window_.status_history, (Strings{kConverting, kConverted}));
}

}  // namespace
}  // namespace qv
