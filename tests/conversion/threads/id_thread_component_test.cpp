#include "conversion/threads/id_thread_component.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "conversion/threads/id_thread.h"
#include "conversion/threads/ui_handoff.h"
#include "thread_test_support.h"

namespace qv {
namespace {

using testing_support::AsUnprivilegedUser;
using testing_support::Gate;
using testing_support::KeptThreadName;
using testing_support::Log;
using testing_support::NoUnprivilegedUser;
using testing_support::PumpUntil;
using testing_support::SpinUntil;
using testing_support::WaitUntilAStepIsPending;
using testing_support::Watchdog;
using Strings = std::vector<std::string>;

// A component whose every event writes to a log; OnRun is the test's.
class Worker : public ::testing::Test {
 protected:
  Worker() : component_(std::make_unique<TIdThreadComponent>()), raw_(component_.get()) {
    auto note = [this](const char* name) {
      return [this, name](TIdThreadComponent& sender) {
        EXPECT_EQ(&sender, raw_);
        log_.Add(name);
      };
    };
    component_->OnBeforeExecute = note("BeforeExecute");
    component_->OnAfterExecute = note("AfterExecute");
    component_->OnBeforeRun = note("BeforeRun");
    component_->OnAfterRun = note("AfterRun");
    component_->OnCleanup = note("Cleanup");
    component_->OnStopped = note("Stopped");
    component_->OnException = [this](TIdThreadComponent&, const std::exception& e) {
      log_.Add(std::string("Exception: ") + e.what());
    };
  }

  TIdThreadComponent& C() { return *component_; }
  bool Ended() { return C().Thread() && C().Thread()->Finished(); }
  void RunToEnd() {
    C().StartWorker();
    PumpUntil([&] { return Ended(); });
  }

  Watchdog watchdog_{"worker test"};
  Log log_;
  std::unique_ptr<TIdThreadComponent> component_;
  TIdThreadComponent* const raw_;  // the sender events expect, also while it is destroyed
};

TEST_F(Worker, StartsIdleWithItsDefaults) {
  EXPECT_FALSE(C().Active());
  EXPECT_FALSE(C().Loop());
  EXPECT_EQ(C().Priority(), tpNormal);
  EXPECT_EQ(C().StopMode(), smTerminate);
  EXPECT_EQ(C().ThreadName(), "");
  EXPECT_EQ(C().Thread(), nullptr);
  C().StopWorker();  // nothing to stop
  C().Terminate();
  EXPECT_EQ(C().TerminateAndWaitFor(), 0u);
  component_.reset();  // destroying an idle component waits for nothing
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(Worker, EachStartGivesExactlyOneRunWithTheEventsInOrder) {
  std::atomic<int> runs{0};
  std::string name;
  C().OnRun = [&](TIdThreadComponent& sender) {
    log_.Add("Run");
    name = CurrentThreadName();
    ++runs;
    sender.StopWorker();
  };
  const Strings one_run = {"BeforeExecute", "BeforeRun", "Run",
                           "AfterRun",      "Cleanup",   "AfterExecute"};
  for (int start = 1; start <= 3; ++start) {
    RunToEnd();
    EXPECT_EQ(runs.load(), start);
    EXPECT_FALSE(C().Active());
    TIdThreadEx* thread = C().Thread();
    EXPECT_TRUE(thread->Terminated());
    EXPECT_TRUE(thread->Stopped());
    EXPECT_FALSE(thread->CleanupPending());
    EXPECT_EQ(thread->ExceptionClassName(), "");
  }
  Strings expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), one_run.begin(), one_run.end());
  EXPECT_EQ(log_.Entries(), expected) << "a new thread object per start";
  EXPECT_EQ(name, KeptThreadName("IdThread (unknown)"));
}

TEST_F(Worker, AThreadNameIsGivenToTheThreadCutToThePlatformLimit) {
  std::string name;
  C().SetThreadName("ConversionWorker");
  C().OnRun = [&](TIdThreadComponent& sender) {
    name = CurrentThreadName();
    sender.StopWorker();
  };
  RunToEnd();
  EXPECT_EQ(name, KeptThreadName("ConversionWorker"));
  EXPECT_EQ(C().Thread()->Name(), "ConversionWorker");
}

TEST_F(Worker, AFailedRunEndsTheThreadQuietlyAndAStartRunsAgain) {
  int runs = 0;
  C().OnRun = [&](TIdThreadComponent&) {
    log_.Add("Run");
    ++runs;
    throw EConvertError("Cannot assign a TPicture to a TJPEGImage");
  };
  RunToEnd();
  EXPECT_EQ(log_.Entries(),
            (Strings{"BeforeExecute", "BeforeRun", "Run", "AfterRun", "Cleanup", "AfterExecute",
                     "Exception: Cannot assign a TPicture to a TJPEGImage"}));
  TIdThreadEx* thread = C().Thread();
  EXPECT_TRUE(thread->Terminated());
  EXPECT_EQ(thread->ExceptionClassName(), "EConvertError");
  EXPECT_EQ(thread->ExceptionMessage(), "Cannot assign a TPicture to a TJPEGImage");
  EXPECT_FALSE(thread->FatalException()) << "the body returned normally";
  EXPECT_FALSE(C().Active());

  C().OnException = nullptr;  // as in the window: the failure is shown nowhere
  RunToEnd();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(C().Thread()->ExceptionClassName(), "EConvertError");
}

TEST_F(Worker, AHandledRunFailureLetsThePassFinish) {
  C().OnRun = [&](TIdThreadComponent&) {
    log_.Add("Run");
    throw EOutOfMemory("Out of memory");
  };
  C().OnHandleRunException = [&](TIdThreadComponent& sender, const std::exception& e,
                                 bool& handled) {
    EXPECT_FALSE(handled);
    log_.Add(std::string("Handle: ") + e.what());
    handled = true;
    sender.StopWorker();
  };
  RunToEnd();
  EXPECT_EQ(log_.Entries(), (Strings{"BeforeExecute", "BeforeRun", "Run", "Handle: Out of memory",
                                     "AfterRun", "Cleanup", "AfterExecute"}));
  EXPECT_EQ(C().Thread()->ExceptionClassName(), "");
}

TEST_F(Worker, StartWorkerWhileRunningStartsNoSecondRunAndRunningSettingsAreRefused) {
  Gate in_run;
  Gate release;
  std::atomic<int> runs{0};
  C().OnRun = [&](TIdThreadComponent& sender) {
    ++runs;
    in_run.Open();
    release.Wait();
    sender.StopWorker();
  };
  C().StartWorker();
  in_run.Wait();
  TIdThreadEx* thread = C().Thread();
  EXPECT_TRUE(C().Active());
  C().StartWorker();
  C().StartWorker();
  EXPECT_EQ(C().Thread(), thread);

  std::string loop_error, name_error;
  try {
    C().SetLoop(true);
  } catch (const EIdException& e) {
    loop_error = e.Message();
  }
  try {
    C().SetThreadName("other");
  } catch (const EIdException& e) {
    name_error = e.Message();
  }
  EXPECT_EQ(loop_error, "Cannot set Loop property when the Thread is already running.");
  EXPECT_EQ(name_error, "Cannot set ThreadName when the Thread is already running.");
  EXPECT_FALSE(C().Loop());
  EXPECT_EQ(C().ThreadName(), "");
  EXPECT_TRUE(C().Active()) << "the run is not disturbed";

  release.Open();
  PumpUntil([&] { return Ended(); });
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(log_.Count("BeforeExecute"), 1u);
  // Once it has ended the settings may change again.
  C().SetLoop(true);
  C().SetThreadName("other");
  EXPECT_TRUE(C().Loop());
}

TEST_F(Worker, StartWorkerWhileTheLastRunIsEndingWaitsForItServingItsSteps) {
  Gate stopped;
  std::atomic<int> runs{0};
  C().OnRun = [&](TIdThreadComponent& sender) {
    log_.Add("Run " + std::to_string(++runs));
    sender.StopWorker();
  };
  C().OnAfterRun = [&](TIdThreadComponent&) {
    if (runs.load() != 1) return;
    stopped.Open();
    RunOnUiThread([&] { log_.Add(IsUiThread() ? "tail step" : "tail step off UI"); });
  };
  ServeUiRequests();  // clears the requests-pending event
  C().StartWorker();
  stopped.Wait();
  WaitUntilAStepIsPending();  // not serving: the old thread waits for its tail step
  EXPECT_TRUE(C().Thread()->Terminated());
  EXPECT_FALSE(C().Thread()->Finished());
  C().StartWorker();
  PumpUntil([&] { return runs.load() == 2 && Ended(); });
  // The old thread ends completely, its tail step served, before the new one begins.
  EXPECT_EQ(log_.Entries(),
            (Strings{"BeforeExecute", "BeforeRun", "Run 1", "tail step", "Cleanup", "AfterExecute",
                     "BeforeExecute", "BeforeRun", "Run 2", "Cleanup", "AfterExecute"}));
}

TEST_F(Worker, DestroyingTheComponentWaitsForARunInProgressAndServesItsSteps) {
  Gate first_step_done;
  auto memo = std::make_shared<std::string>("old");
  auto ended_normally = std::make_shared<std::atomic<bool>>(false);
  C().OnRun = [&, memo, ended_normally](TIdThreadComponent& sender) {
    RunOnUiThread([] {});
    first_step_done.Open();
    RunOnUiThread([memo] { *memo = "converted"; });
    sender.StopWorker();  // finds no thread object: the component is detaching it
    *ended_normally = true;
  };
  C().OnAfterExecute = nullptr;
  C().StartWorker();
  PumpUntil([&] { return first_step_done.IsOpen(); });
  component_.reset();
  EXPECT_EQ(*memo, "converted");
  EXPECT_TRUE(ended_normally->load());
  const Strings entries = log_.Entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back(), "Cleanup");
}

TEST_F(Worker, AStoredActiveRequestStartsTheWorkerOnlyAfterLoading) {
  std::atomic<int> runs{0};
  C().OnRun = [&](TIdThreadComponent& sender) {
    ++runs;
    sender.StopWorker();
  };
  C().BeginLoading();
  C().SetActive(false);
  C().Loaded();
  EXPECT_EQ(C().Thread(), nullptr) << "the window's resource stores false";

  C().BeginLoading();
  C().SetActive(true);
  EXPECT_TRUE(C().Active());
  EXPECT_EQ(C().Thread(), nullptr);
  C().Loaded();
  ASSERT_NE(C().Thread(), nullptr);
  PumpUntil([&] { return Ended(); });
  EXPECT_EQ(runs.load(), 1);
}

TEST_F(Worker, SettingActiveStartsAndStopsTheWorker) {
  Gate in_run;
  Gate release;
  C().OnRun = [&](TIdThreadComponent&) {
    in_run.Open();
    release.Wait();
  };
  C().SetActive(true);
  in_run.Wait();
  EXPECT_TRUE(C().Active());
  C().SetActive(false);  // a stop request: with smTerminate the pass is the last
  EXPECT_FALSE(C().Active());
  EXPECT_TRUE(C().Thread()->Terminated());
  release.Open();
  PumpUntil([&] { return Ended(); });
}

TEST_F(Worker, WithSmSuspendAStopSuspendsTheThreadAndAStartResumesTheSameObject) {
  std::atomic<int> runs{0};
  C().SetStopMode(smSuspend);
  C().OnRun = [&](TIdThreadComponent& sender) {
    log_.Add("Run");
    ++runs;
    sender.StopWorker();
  };
  C().StartWorker();
  TIdThreadEx* thread = C().Thread();
  PumpUntil([&] { return runs.load() == 1 && thread->Suspended(); });
  EXPECT_FALSE(thread->Terminated());
  EXPECT_FALSE(C().Active());
  C().StartWorker();
  PumpUntil([&] { return runs.load() == 2 && thread->Suspended(); });
  EXPECT_EQ(C().Thread(), thread);
  component_.reset();  // wakes the suspended thread, which then ends
  EXPECT_EQ(log_.Entries(),
            (Strings{"BeforeExecute", "BeforeRun", "Run", "AfterRun", "Cleanup", "Stopped",
                     "BeforeRun", "Run", "AfterRun", "Cleanup", "Stopped", "AfterExecute"}));
}

TEST_F(Worker, WithLoopOnRunRepeatsUntilStopped) {
  std::atomic<int> runs{0};
  C().SetLoop(true);
  C().OnRun = [&](TIdThreadComponent& sender) {
    if (++runs == 5) sender.StopWorker();
  };
  RunToEnd();
  EXPECT_EQ(runs.load(), 5);
  EXPECT_EQ(log_.Count("BeforeRun"), 1u);
}

TEST_F(Worker, TerminateAndWaitForEndsALoopingWorker) {
  std::atomic<int> runs{0};
  C().SetLoop(true);
  C().OnRun = [&](TIdThreadComponent&) {
    RunOnUiThread([] {});
    ++runs;
  };
  C().StartWorker();
  PumpUntil([&] { return runs.load() > 2; });
  EXPECT_EQ(C().TerminateAndWaitFor(), 0u);
  EXPECT_TRUE(C().Thread()->Finished());
  EXPECT_EQ(log_.Entries().back(), "AfterExecute");
}

TEST_F(Worker, OnTerminateRunsOnTheUiThreadAsTheThreadEnds) {
  C().OnRun = [](TIdThreadComponent& sender) { sender.StopWorker(); };
  C().OnTerminate = [&](TIdThreadComponent&) { log_.Add(IsUiThread() ? "Terminate" : "off UI"); };
  RunToEnd();
  EXPECT_EQ(log_.Entries().back(), "Terminate");
}

TEST_F(Worker, ThePriorityIsSetOnTheWorkerThread) {
  std::atomic<int> seen{-1};
  C().SetPriority(tpLower);
  C().OnRun = [&](TIdThreadComponent& sender) {
    seen = sender.Thread() ? sender.Thread()->Priority() : -2;
    sender.StopWorker();
  };
  RunToEnd();
  EXPECT_EQ(seen.load(), tpLower);
}

// A TIdThread of the test's own, for what the component never does.
class CountingThread : public TIdThread {
 public:
  CountingThread() : TIdThread(true, true) {}
  ~CountingThread() override {
    RequestTerminate();
    FinishBeforeDestroy();
  }
  std::atomic<int> runs{0};

 protected:
  void Run() override {
    ++runs;
    std::this_thread::yield();
  }
};

#ifndef _WIN32
// With no process left to the user (RLIMIT_NPROC 0; root is exempt, so the
// test runs as an ordinary user), the system refuses to make the thread.
int ThreadCreationRefused() {
  const std::string refused = Format("Thread creation error: %s", SystemErrorText(EAGAIN).c_str());
  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) {
      std::fprintf(stderr, "failed: %s\n", what.c_str());
      ++failures;
    }
  };
  rlimit allowed{};
  getrlimit(RLIMIT_NPROC, &allowed);
  const rlimit none{0, allowed.rlim_max};
  if (setrlimit(RLIMIT_NPROC, &none) != 0) return 91;

  TIdThreadComponent component;
  std::atomic<int> runs{0};
  component.OnRun = [&](TIdThreadComponent& sender) {
    RunOnUiThread([&] { ++runs; });
    sender.StopWorker();
  };
  std::string message = "nothing";
  try {
    component.StartWorker();
  } catch (const EThread& e) {
    message = e.Message();
  }
  check(message == refused, "the start raises the refusal; it raised " + message);
  check(component.Thread() == nullptr, "no thread object is left");
  check(!component.Active(), "the worker is not active");

  setrlimit(RLIMIT_NPROC, &allowed);
  component.StartWorker();
  PumpUntil([&] { return runs.load() == 1 && component.Thread()->Finished(); });
  return failures;
}
#endif

TEST(IdThread, AThreadTheSystemRefusesLeavesNoThreadObjectAndALaterStartWorks) {
#ifdef _WIN32
  GTEST_SKIP() << NoUnprivilegedUser();
#else
  if (const std::string why = NoUnprivilegedUser(); !why.empty()) GTEST_SKIP() << why;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(AsUnprivilegedUser(ThreadCreationRefused)), testing::ExitedWithCode(0),
              "");
#endif
}

TEST(IdThread, TerminateAndWaitForIsRefusedForAFreeWhenDoneThread) {
  Watchdog watchdog("terminate and wait");
  auto thread = std::make_unique<CountingThread>();
  thread->SetFreeOnTerminate(true);
  std::string message;
  try {
    thread->TerminateAndWaitFor();
  } catch (const EIdException& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, "Cannot call TerminateAndWaitFor on FreeAndTerminate threads");
  EXPECT_FALSE(thread->Terminated());
  EXPECT_FALSE(thread->Started());
  EXPECT_TRUE(thread->IsStopped());
  thread->SetFreeOnTerminate(false);

  thread->RequestStart();
  SpinUntil([&] { return thread->runs.load() > 0; });
  EXPECT_FALSE(thread->IsStopped());
  EXPECT_EQ(thread->TerminateAndWaitFor(), 0u);
  EXPECT_TRUE(thread->Finished());
  EXPECT_TRUE(thread->IsStopped());
}

TEST(IdThread, MarksFollowStartStopAndTerminateRequests) {
  Watchdog watchdog("marks");
  CountingThread thread;
  EXPECT_TRUE(thread.Stopped());
  EXPECT_TRUE(thread.IsStopped());
  thread.RequestStop();  // already stopped: nothing
  EXPECT_FALSE(thread.Terminated());
  thread.SetStopMode(smSuspend);
  thread.RequestStart();
  EXPECT_FALSE(thread.Stopped());
  thread.RequestStop();
  EXPECT_TRUE(thread.Stopped());
  EXPECT_FALSE(thread.Terminated()) << "smSuspend only marks it stopped";
  SpinUntil([&] { return thread.Suspended(); });
  thread.RequestTerminate();
  EXPECT_TRUE(thread.Terminated());
  thread.RequestStart();  // wakes it; being terminated it stays stopped and leaves
  EXPECT_TRUE(thread.Stopped());
  thread.WaitForEnd();
}

}  // namespace
}  // namespace qv
