// Cost of a step handed to the UI thread and of one worker run, each beside a
// baseline of the bare standard-library equivalent measured in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/ui_handoff.h"

namespace {

// Baseline: one request/answer round trip between two threads on a condition variable.
void BM_Baseline_CondVarRoundTrip(benchmark::State& state) {
  std::mutex mutex;
  std::condition_variable signal;
  int asked = 0, answered = 0;
  bool stop = false;
  std::thread server([&] {
    std::unique_lock lock(mutex);
    while (true) {
      signal.wait(lock, [&] { return stop || asked > answered; });
      if (stop) return;
      answered = asked;
      signal.notify_all();
    }
  });
  for (auto _ : state) {
    std::unique_lock lock(mutex);
    ++asked;
    signal.notify_all();
    signal.wait(lock, [&] { return answered == asked; });
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  signal.notify_all();
  server.join();
}
BENCHMARK(BM_Baseline_CondVarRoundTrip)->UseRealTime();

// A step handed over and carried out by a UI thread that waits for requests.
void BM_RunOnUiThreadRoundTrip(benchmark::State& state) {
  std::atomic<bool> stop{false};
  std::atomic<bool> ready{false};
  std::thread ui([&] {
    qv::SetUiThread();
    ready = true;
    while (!stop.load()) {
      if (qv::WaitForUiRequests(std::chrono::milliseconds(10))) qv::ServeUiRequests();
    }
  });
  while (!ready.load()) std::this_thread::yield();
  int counter = 0;
  for (auto _ : state) qv::RunOnUiThread([&] { ++counter; });
  benchmark::DoNotOptimize(counter);
  stop = true;
  ui.join();
  qv::SetUiThread();
}
BENCHMARK(BM_RunOnUiThreadRoundTrip)->UseRealTime();

// Baseline: making and joining a thread.
void BM_Baseline_ThreadCreateJoin(benchmark::State& state) {
  for (auto _ : state) std::thread([] {}).join();
}
BENCHMARK(BM_Baseline_ThreadCreateJoin)->UseRealTime();

// One picture-to-hex command's worker overhead: StartWorker, one empty run, ended.
void BM_WorkerOneRun(benchmark::State& state) {
  qv::SetUiThread();
  qv::TIdThreadComponent worker;
  worker.OnRun = [](qv::TIdThreadComponent& sender) {
    qv::RunOnUiThread([] {});
    sender.StopWorker();
  };
  for (auto _ : state) {
    worker.StartWorker();
    while (!worker.Thread()->Finished()) {
      if (qv::WaitForUiRequests(std::chrono::milliseconds(10))) qv::ServeUiRequests();
    }
  }
}
BENCHMARK(BM_WorkerOneRun)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
