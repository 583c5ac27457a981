#include "conversion/threads/ui_handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "thread_test_support.h"

namespace qv {
namespace {

using testing_support::Log;
using testing_support::PumpUntil;
using testing_support::SpinUntil;
using testing_support::Watchdog;

// Counts hand-overs through the wake-up, so a test knows a step is queued
// without serving it. Removes the wake-up when done.
class WakeCounter {
 public:
  WakeCounter() {
    SetWakeUiThread([this] { count_.fetch_add(1); });
  }
  ~WakeCounter() { SetWakeUiThread({}); }
  int Count() const { return count_.load(); }
  void WaitFor(int n) const {
    SpinUntil([&] { return Count() >= n; });
  }

 private:
  std::atomic<int> count_{0};
};

#ifndef _WIN32
std::string ProcessName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}
#endif

TEST(UiHandOff, TheUiThreadIsNamedMainUnlessThatWouldRenameTheProcess) {
#ifdef _WIN32
  // Windows names threads apart from the process: the first thread too is "Main".
  const std::string first = "Main";
#else
  // The process's first thread carries the process's name, which ps, pgrep
  // and killall look for: it keeps the program's own.
  const std::string first =
      testing_support::KeptThreadName(std::filesystem::path(ExecutablePath()).filename().string());
  ASSERT_FALSE(first.empty());
#endif
  SetUiThread();
  EXPECT_TRUE(IsUiThread());
  EXPECT_EQ(CurrentThreadName(), first);
#ifndef _WIN32
  EXPECT_EQ(ProcessName(), first);
#endif

  // Any other thread made the UI thread takes the name "Main".
  std::string other;
  std::thread([&] {
    SetUiThread();
    other = CurrentThreadName();
  }).join();
  SetUiThread();
  EXPECT_EQ(other, "Main");
#ifndef _WIN32
  EXPECT_EQ(ProcessName(), first);
#endif
  EXPECT_TRUE(IsUiThread());
}

TEST(UiHandOff, OnTheUiThreadAStepRunsAtOnceWithoutTheList) {
  SetUiThread();
  EXPECT_TRUE(IsUiThread());
  WakeCounter wakes;
  ServeUiRequests();  // drop a pending event left by anything before
  int ran = 0;
  RunOnUiThread([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(wakes.Count(), 0);
  EXPECT_FALSE(ServeUiRequests());

  bool other_is_ui = true;
  std::thread([&] { other_is_ui = IsUiThread(); }).join();
  EXPECT_FALSE(other_is_ui);
}

TEST(UiHandOff, StepsFromSeveralThreadsRunInHandOverOrderOnTheUiThread) {
  Watchdog watchdog("hand-over order");
  WakeCounter wakes;
  Log log;
  const std::thread::id ui = std::this_thread::get_id();
  std::vector<std::thread> threads;
  // Each thread hands its step over only after the previous one is queued.
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      RunOnUiThread([&, i] {
        log.Add(std::to_string(i) + (std::this_thread::get_id() == ui ? "" : " off UI"));
      });
    });
    wakes.WaitFor(i + 1);
  }
  EXPECT_TRUE(log.Entries().empty()) << "nothing runs before the UI thread serves";
  EXPECT_TRUE(ServeUiRequests());
  for (auto& t : threads) t.join();
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"0", "1", "2", "3"}));
  EXPECT_FALSE(ServeUiRequests());
}

TEST(UiHandOff, AFailingStepRaisesOnItsOwnThreadAndTheNextStepStillRuns) {
  Watchdog watchdog("failing step");
  struct Case {
    const char* name;
    std::function<void()> fail;
    std::string expected_class;
    std::string expected_text;
  };
  const std::vector<Case> cases = {
      {"own class", [] { throw EConvertError("Cannot assign a TPicture to a TJPEGImage"); },
       "EConvertError", "Cannot assign a TPicture to a TJPEGImage"},
      {"out of memory", [] { RaiseOutOfMemory(); }, "EOutOfMemory", "Out of memory"},
      {"standard", [] { throw std::runtime_error("plain"); }, "std::runtime_error", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WakeCounter wakes;
    std::string caught_class;
    std::string caught_text;
    bool second_ran = false;
    bool second_caught = false;
    std::thread first([&] {
      try {
        RunOnUiThread(c.fail);
      } catch (const Exception& e) {
        caught_class = e.ClassName();
        caught_text = e.Message();
      } catch (const std::runtime_error& e) {
        caught_class = "std::runtime_error";
        caught_text = e.what();
      }
    });
    wakes.WaitFor(1);
    std::thread second([&] {
      try {
        RunOnUiThread([&] { second_ran = true; });
      } catch (...) {
        second_caught = true;
      }
    });
    wakes.WaitFor(2);
    EXPECT_NO_THROW(EXPECT_TRUE(ServeUiRequests()));
    first.join();
    second.join();
    EXPECT_EQ(caught_class, c.expected_class);
    EXPECT_EQ(caught_text, c.expected_text);
    EXPECT_TRUE(second_ran);
    EXPECT_FALSE(second_caught);
  }
}

TEST(UiHandOff, ServingOffTheUiThreadFailsAndLeavesPendingStepsAlone) {
  Watchdog watchdog("serve off UI thread");
  WakeCounter wakes;
  int ran = 0;
  std::thread worker([&] { RunOnUiThread([&] { ++ran; }); });
  wakes.WaitFor(1);

  std::string message;
  std::string class_name;
  uint64_t caller_id = 0;
  std::thread intruder([&] {
    caller_id = CurrentThreadId();
    try {
      ServeUiRequests();
    } catch (const Exception& e) {
      class_name = e.ClassName();
      message = e.Message();
    }
  });
  intruder.join();
  EXPECT_EQ(class_name, "EThread");
  EXPECT_EQ(message, Format("CheckSynchronize called from thread $%x, which is NOT the main thread",
                            static_cast<unsigned>(caller_id)));
  EXPECT_EQ(ran, 0);

  PumpUntil([&] { return ran == 1; });
  worker.join();
  EXPECT_EQ(ran, 1);
}

TEST(UiHandOff, TheRequestsPendingEventIsSetByAHandOverAndClearedByServing) {
  Watchdog watchdog("pending event");
  ServeUiRequests();
  EXPECT_FALSE(WaitForUiRequests(std::chrono::milliseconds(0)));
  SignalUiRequestsPending();
  EXPECT_TRUE(WaitForUiRequests(std::chrono::milliseconds(0)));
  EXPECT_FALSE(ServeUiRequests()) << "the event alone is no request";
  EXPECT_FALSE(WaitForUiRequests(std::chrono::milliseconds(0)));

  bool ran = false;
  std::thread worker([&] { RunOnUiThread([&] { ran = true; }); });
  EXPECT_TRUE(WaitForUiRequests(std::chrono::seconds(120)));
  EXPECT_TRUE(ServeUiRequests());
  worker.join();
  EXPECT_TRUE(ran);
}

TEST(UiHandOff, AStepMayHandOverAgainFromTheUiThreadAndMayServeNestedRequests) {
  // A modal loop inside a step serves the requests that arrive meanwhile.
  Watchdog watchdog("nested serving");
  WakeCounter wakes;
  Log log;
  std::thread outer([&] {
    RunOnUiThread([&] {
      log.Add("outer begins");
      RunOnUiThread([&] { log.Add("direct"); });
      std::thread inner([&] { RunOnUiThread([&] { log.Add("inner"); }); });
      PumpUntil([&] { return log.Count("inner") == 1; });
      inner.join();
      log.Add("outer ends");
    });
  });
  PumpUntil([&] { return log.Count("outer ends") == 1; });
  outer.join();
  EXPECT_EQ(log.Entries(),
            (std::vector<std::string>{"outer begins", "direct", "inner", "outer ends"}));
}

}  // namespace
}  // namespace qv
