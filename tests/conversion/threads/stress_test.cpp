// Many start/stop/destroy cycles with random delays while the UI thread pumps;
// a watchdog turns a deadlock into a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/thread.h"
#include "conversion/threads/ui_handoff.h"
#include "thread_test_support.h"

namespace qv {
namespace {

using testing_support::FunctionThread;
using testing_support::PumpUntil;
using testing_support::Watchdog;

// Random short pauses, one generator per thread.
void Jitter(int max_us) {
  thread_local std::minstd_rand random(std::hash<std::thread::id>()(std::this_thread::get_id()));
  const int us = static_cast<int>(random() % static_cast<unsigned>(max_us + 1));
  if (us > max_us / 2) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

TEST(Stress, HandOversFromManyThreadsKeepEachThreadsOrder) {
  Watchdog watchdog("hand-over stress");
  constexpr int kThreads = 4;
  constexpr int kSteps = 400;
  std::vector<int> last(kThreads, -1);  // UI-thread data
  int out_of_order = 0;
  std::atomic<int> failures_caught{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kSteps; ++i) {
        Jitter(50);
        try {
          RunOnUiThread([&, t, i] {
            if (last[t] != i - 1) ++out_of_order;
            last[t] = i;
            if (i % 10 == 0) throw EAbort("step " + std::to_string(i));
          });
        } catch (const EAbort&) {
          ++failures_caught;
        }
      }
      ++finished;
    });
  }
  PumpUntil([&] { return finished.load() == kThreads; });
  for (auto& t : threads) t.join();
  EXPECT_EQ(out_of_order, 0);
  EXPECT_EQ(failures_caught.load(), kThreads * kSteps / 10);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(last[t], kSteps - 1);
}

TEST(Stress, ThreadsDestroyedInEveryStateEndCleanly) {
  Watchdog watchdog("thread lifecycle stress");
  std::minstd_rand random(7);
  std::atomic<int> steps_run{0};
  for (int round = 0; round < 200; ++round) {
    const unsigned mode = random() % 4;
    auto thread = std::make_unique<FunctionThread>(true, [&](FunctionThread& self) {
      for (int i = 0; i < 3 && !self.Terminated(); ++i) {
        Jitter(100);
        RunOnUiThread([&] { ++steps_run; });
      }
    });
    if (mode >= 1) thread->Resume();
    if (mode == 2) {
      if (WaitForUiRequests(std::chrono::milliseconds(1))) ServeUiRequests();
    }
    if (mode == 3) thread->WaitForEnd();
    Jitter(100);
    thread.reset();  // never started, running, waiting for a step or ended
  }
  EXPECT_GT(steps_run.load(), 0);
}

TEST(Stress, WorkerStartStopAndDestroyCycles) {
  Watchdog watchdog("worker stress", std::chrono::seconds(400));
  std::minstd_rand random(2024);
  // UI-thread state the runs change through their steps.
  int runs_begun = 0;
  int runs_done = 0;
  int off_ui = 0;
  std::string memo;
  std::atomic<int> runs_failed{0};
  bool source_ok = true;

  auto make = [&] {
    auto c = std::make_unique<TIdThreadComponent>();
    c->OnRun = [&](TIdThreadComponent& sender) {
      Jitter(200);
      RunOnUiThread([&] {
        off_ui += !IsUiThread();
        ++runs_begun;
      });
      bool ok = false;
      RunOnUiThread([&] { ok = source_ok; });
      if (!ok) {
        ++runs_failed;
        throw EConvertError("Cannot assign a TPicture to a TJPEGImage");
      }
      Jitter(200);
      std::string text(64, 'A');
      RunOnUiThread([&] { memo = std::move(text); });
      Jitter(100);
      RunOnUiThread([&] {
        off_ui += !IsUiThread();
        ++runs_done;
      });
      sender.StopWorker();
    };
    return c;
  };

  auto component = make();
  int starts = 0;
  for (int i = 0; i < 400; ++i) {
    switch (random() % 8) {
      case 0:
      case 1:
      case 2:
        component->StartWorker();
        ++starts;
        break;
      case 3:
        component = make();  // destroys the old one, waiting for its run
        break;
      case 4:
        source_ok = random() % 4 != 0;
        break;
      case 5:
        component->SetActive(false);
        break;
      case 6:
        if (random() % 4 == 0) component->TerminateAndWaitFor();
        break;
      default:
        break;
    }
    // Let the message loop run a little, or not at all.
    for (unsigned n = random() % 4; n > 0; --n) {
      if (WaitForUiRequests(std::chrono::milliseconds(random() % 2))) ServeUiRequests();
    }
    Jitter(200);
  }
  component.reset();
  EXPECT_EQ(off_ui, 0);
  EXPECT_GT(starts, 0);
  EXPECT_LE(runs_done, runs_begun);
  EXPECT_EQ(runs_begun - runs_done, runs_failed.load()) << "every run either failed or finished";
  EXPECT_FALSE(ServeUiRequests()) << "nothing is left waiting";
}

}  // namespace
}  // namespace qv
