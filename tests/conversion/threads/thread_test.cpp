#include "conversion/threads/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "conversion/threads/ui_handoff.h"
#include "thread_test_support.h"

namespace qv {
namespace {

using testing_support::AsUnprivilegedUser;
using testing_support::FunctionThread;
using testing_support::Gate;
using testing_support::Log;
using testing_support::NoUnprivilegedUser;
using testing_support::PumpUntil;
using testing_support::SpinUntil;
using testing_support::WaitUntilAStepIsPending;
using testing_support::Watchdog;

TEST(ThreadPriority, TableMapsBothWays) {
  const std::pair<TThreadPriority, int> table[] = {
      {tpIdle, -15}, {tpLowest, -2}, {tpLower, -1},       {tpNormal, 0},
      {tpHigher, 1}, {tpHighest, 2}, {tpTimeCritical, 15}};
  for (auto [priority, level] : table) {
    EXPECT_EQ(PriorityLevel(priority), level);
    EXPECT_EQ(PriorityFromLevel(level), priority);
  }
  for (int level : {-14, -3, 3, 14, 16, 100})
    EXPECT_EQ(PriorityFromLevel(level), tpNormal) << level;
}

TEST(Thread, WaitForEndOnAnEndedThreadReturnsItsExitCodeAtOnce) {
  Watchdog watchdog("wait for an ended thread");
  FunctionThread thread(false, [](FunctionThread& self) { self.SetExitCode(42); });
  EXPECT_FALSE(thread.Started()) << "construction alone starts nothing";
  thread.AfterConstruction();
  EXPECT_EQ(thread.WaitForEnd(), 42u);
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.WaitForEnd(), 42u);
  uint32_t from_other = 0;
  std::thread([&] { from_other = thread.WaitForEnd(); }).join();
  EXPECT_EQ(from_other, 42u);
  EXPECT_EQ(thread.ExitCode(), 42u);
  EXPECT_FALSE(thread.FatalException());
}

TEST(Thread, WaitForEndOnAnotherThreadWaitsWithoutServing) {
  Watchdog watchdog("wait on a worker");
  Gate release;
  FunctionThread thread(false, [&](FunctionThread& self) {
    release.Wait();
    self.SetExitCode(5);
  });
  thread.AfterConstruction();
  uint32_t code = 0;
  std::thread waiter([&] { code = thread.WaitForEnd(); });
  release.Open();
  waiter.join();
  EXPECT_EQ(code, 5u);
}

TEST(Thread, WaitForEndOnTheUiThreadServesTheThreadsSteps) {
  Watchdog watchdog("wait serving steps");
  Log log;
  FunctionThread thread(true, [&](FunctionThread& self) {
    for (int i = 0; i < 3; ++i) {
      RunOnUiThread([&, i] { log.Add(IsUiThread() ? std::to_string(i) : "off UI"); });
    }
    self.SetExitCode(7);
  });
  thread.Resume();
  EXPECT_EQ(thread.WaitForEnd(), 7u);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"0", "1", "2"}));
}

TEST(Thread, DestroyingANeverRunThreadSkipsTheBodyButRunsTheTerminationNotice) {
  Watchdog watchdog("destroy a never-run thread");
  bool body_ran = false;
  Log log;
  auto thread = std::make_unique<FunctionThread>(true, [&](FunctionThread&) { body_ran = true; });
  thread->SetOnTerminate([&](TThread& sender) {
    log.Add(std::string(IsUiThread() ? "on UI" : "off UI") +
            (sender.Terminated() ? ", terminated" : ""));
  });
  EXPECT_TRUE(thread->Suspended());
  EXPECT_TRUE(thread->CreatedSuspended());
  EXPECT_FALSE(thread->Started());
  thread.reset();
  EXPECT_FALSE(body_ran);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"on UI, terminated"}));
}

TEST(Thread, DestroyingOnTheUiThreadWhileTheThreadWaitsForAStepServesIt) {
  Watchdog watchdog("destroy while a step waits");
  Gate handing_over;
  bool step_ran = false;
  bool after_step = false;
  auto thread = std::make_unique<FunctionThread>(false, [&](FunctionThread&) {
    handing_over.Open();
    RunOnUiThread([&] { step_ran = true; });
    after_step = true;
  });
  ServeUiRequests();  // clears the requests-pending event
  thread->AfterConstruction();
  handing_over.Wait();
  WaitUntilAStepIsPending();  // not serving: the thread now waits for its step
  thread.reset();
  EXPECT_TRUE(step_ran);
  EXPECT_TRUE(after_step);
}

TEST(Thread, AnExceptionEscapingTheBodyEndsTheThreadQuietlyAndIsKept) {
  Watchdog watchdog("fatal exception");
  FunctionThread thread(false, [](FunctionThread& self) {
    self.SetExitCode(3);
    throw EConvertError("broken");
  });
  thread.AfterConstruction();
  EXPECT_EQ(thread.WaitForEnd(), 3u);
  ASSERT_TRUE(thread.FatalException());
  try {
    std::rethrow_exception(thread.FatalException());
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EConvertError");
    EXPECT_EQ(e.Message(), "broken");
  }
}

TEST(Thread, ATerminateHookFailureIsKeptAsTheFatalException) {
  Watchdog watchdog("terminate hook failure");
  FunctionThread thread(false, [](FunctionThread&) {});
  thread.SetOnTerminate([](TThread&) { throw EAbort("hook"); });
  thread.AfterConstruction();
  thread.WaitForEnd();
  ASSERT_TRUE(thread.FatalException());
  EXPECT_THROW(std::rethrow_exception(thread.FatalException()), EAbort);
}

TEST(Thread, AThreadSuspendsOnlyItselfAndContinuesOnResume) {
  Watchdog watchdog("cooperative suspension");
  std::atomic<bool> resumed{false};
  Gate suspend_now;
  FunctionThread thread(false, [&](FunctionThread& self) {
    suspend_now.Wait();
    self.Suspend();
    resumed = true;
  });
  thread.AfterConstruction();

  // Another thread cannot hold it.
  std::string message;
  try {
    thread.Suspend();
  } catch (const EThread& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, Format("Thread Error: %s (%d)", SystemErrorText(ENOTSUP).c_str(),
                            SystemErrorCode(ENOTSUP)));
  EXPECT_FALSE(thread.Suspended()) << "the mark is left as it was";

  suspend_now.Open();
  SpinUntil([&] { return thread.Suspended(); });
  EXPECT_FALSE(resumed.load());
  thread.Resume();
  thread.WaitForEnd();
  EXPECT_TRUE(resumed.load());
  EXPECT_FALSE(thread.Suspended());
}

TEST(Thread, DestroyingASelfSuspendedThreadWakesItAndEnds) {
  Watchdog watchdog("destroy a suspended thread");
  std::atomic<bool> saw_terminated{false};
  auto thread = std::make_unique<FunctionThread>(false, [&](FunctionThread& self) {
    self.Suspend();
    saw_terminated = self.Terminated();
  });
  thread->AfterConstruction();
  SpinUntil([&] { return thread->Suspended(); });
  thread.reset();
  EXPECT_TRUE(saw_terminated.load());
}

TEST(Thread, PriorityIsSetAndReadOnTheRunningThread) {
  Watchdog watchdog("priority");
  Gate done;
  std::atomic<uint64_t> worker_id{0};
  FunctionThread thread(false, [&](FunctionThread&) {
    worker_id = CurrentThreadId();
    done.Wait();
  });
  thread.AfterConstruction();
  SpinUntil([&] { return worker_id.load() != 0; });  // the body runs
  EXPECT_EQ(thread.ThreadId(), worker_id.load());

  EXPECT_NO_THROW(thread.SetPriority(tpNormal));
  EXPECT_EQ(thread.Priority(), tpNormal);
  // Raising needs privilege here; a refusal is the platform's error, the
  // priority unchanged.
  for (TThreadPriority raised : {tpHigher, tpHighest, tpTimeCritical}) {
    const TThreadPriority before = thread.Priority();
    try {
      thread.SetPriority(raised);
      EXPECT_EQ(thread.Priority(), raised);
    } catch (const EThread& e) {
      EXPECT_TRUE(e.Message() == Format("Thread Error: %s (%d)", SystemErrorText(EACCES).c_str(),
                                        SystemErrorCode(EACCES)) ||
                  e.Message() == Format("Thread Error: %s (%d)", SystemErrorText(EPERM).c_str(),
                                        SystemErrorCode(EPERM)))
          << e.Message();
      EXPECT_EQ(thread.Priority(), before);
    }
  }
  for (TThreadPriority lowered : {tpLower, tpLowest, tpIdle}) {
    thread.SetPriority(lowered);
    EXPECT_EQ(thread.Priority(), lowered);
  }
  done.Open();
  thread.WaitForEnd();
}

TEST(Thread, APrioritySetBeforeTheThreadExistsIsTakenWhenItStarts) {
  Watchdog watchdog("priority before start");
  std::atomic<int> seen{-1};
  FunctionThread thread(true, [&](FunctionThread& self) { seen = self.Priority(); });
  thread.SetPriority(tpLowest);
  EXPECT_EQ(thread.Priority(), tpLowest);
  thread.Resume();
  thread.WaitForEnd();
  EXPECT_EQ(seen.load(), tpLowest);
}

TEST(Thread, AThreadsEndSetsTheRequestsPendingEvent) {
  // A UI thread in WaitForEnd sleeps on that event: set, it wakes at once.
  Watchdog watchdog("end sets the event");
  ServeUiRequests();  // clears the event
  ASSERT_FALSE(WaitForUiRequests(std::chrono::milliseconds(0)));
  FunctionThread thread(false, [](FunctionThread&) {});
  thread.AfterConstruction();
  // Waited for on another thread, which neither serves nor clears the event
  // and returns only once the platform thread is gone.
  std::thread([&] { thread.WaitForEnd(); }).join();
  EXPECT_TRUE(thread.Finished());
  EXPECT_TRUE(WaitForUiRequests(std::chrono::milliseconds(0)));
}

// Raising a thread above the process needs privilege that an ordinary user
// lacks: the refusal of a priority asked for before the thread existed is
// raised by the start that makes it, and the thread stays held, at the
// priority it really has, until a start at an allowed priority.
int PriorityRefusedBeforeTheFirstStart() {
  const std::string refused =
      Format("Thread Error: %s (%d)", SystemErrorText(EACCES).c_str(), SystemErrorCode(EACCES));
  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) {
      std::fprintf(stderr, "failed: %s\n", what.c_str());
      ++failures;
    }
  };
  // Then started again at an allowed priority, or destroyed while held.
  for (const bool start_again : {true, false}) {
    std::atomic<bool> ran{false};
    {
      FunctionThread thread(true, [&](FunctionThread&) { ran = true; });
      thread.SetPriority(tpHigher);  // no thread yet: only noted
      std::string message = "nothing";
      try {
        thread.Resume();
      } catch (const EThread& e) {
        message = e.Message();
      }
      check(message == refused, "the first start raises the refusal; it raised " + message);
      check(thread.Started() && thread.Suspended(), "the thread exists and is held");
      check(thread.Priority() == tpNormal, "it reads the priority it really has");
      check(!ran.load(), "its body has not run");
      if (start_again) {
        thread.SetPriority(tpNormal);
        thread.Resume();
        thread.WaitForEnd();
        check(ran.load(), "a start at an allowed priority runs it");
      }
    }
    if (!start_again) check(!ran.load(), "a held thread destroyed ends without its body");
  }
  return failures;
}

TEST(Thread, APriorityRefusedBeforeTheFirstStartIsRaisedByThatStart) {
  if (const std::string why = NoUnprivilegedUser(); !why.empty()) GTEST_SKIP() << why;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(AsUnprivilegedUser(PriorityRefusedBeforeTheFirstStart)),
              testing::ExitedWithCode(0), "");
}

TEST(Thread, AFreeWhenDoneThreadDeletesItself) {
  Watchdog watchdog("free when done");
  struct Flag {
    std::atomic<bool> gone{false};
  };
  auto flag = std::make_shared<Flag>();
  class SelfDeleting : public FunctionThread {
   public:
    explicit SelfDeleting(std::shared_ptr<Flag> flag)
        : FunctionThread(true, [](FunctionThread&) {}), flag_(std::move(flag)) {}
    ~SelfDeleting() override {
      FinishBeforeDestroy();
      flag_->gone = true;
    }

   private:
    std::shared_ptr<Flag> flag_;
  };
  auto* thread = new SelfDeleting(flag);
  thread->SetFreeOnTerminate(true);
  thread->Resume();
  SpinUntil([&] { return flag->gone.load(); });
}

}  // namespace
}  // namespace qv
