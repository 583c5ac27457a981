// Helpers for the thread tests: the test's main thread plays the UI thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "conversion/threads/thread.h"
#include "conversion/threads/ui_handoff.h"

namespace qv::testing_support {

// Ends the process with a message when a test has not finished within `limit`:
// a deadlock then fails the test instead of hanging the run. Not a speed check;
// the limits are many times what the slowest sanitizer build needs.
class Watchdog {
 public:
  explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(240))
      : what_(std::move(what)), thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!signal_.wait_for(lock, limit, [this] { return dismissed_; })) {
            std::fprintf(stderr, "watchdog: %s did not finish (deadlock?)\n", what_.c_str());
            std::fflush(stderr);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      dismissed_ = true;
    }
    signal_.notify_all();
    thread_.join();
  }

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable signal_;
  bool dismissed_ = false;
  std::thread thread_;
};

// A one-way gate: threads wait until someone opens it.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    signal_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    signal_.wait(lock, [this] { return open_; });
  }
  bool IsOpen() {
    std::lock_guard lock(mutex_);
    return open_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  bool open_ = false;
};

// Serves handed-over steps on the calling (UI) thread until `done` holds.
inline void PumpUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (WaitForUiRequests(std::chrono::milliseconds(5))) ServeUiRequests();
  }
}

// Waits, without serving steps, until `done` holds.
inline void SpinUntil(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// A record that several threads append to.
class Log {
 public:
  void Add(std::string entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<std::string> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  size_t Count(const std::string& entry) {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& e : entries_) n += e == entry;
    return n;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

// A TThread running a function as its body.
class FunctionThread : public TThread {
 public:
  FunctionThread(bool create_suspended, std::function<void(FunctionThread&)> body)
      : TThread(create_suspended), body_(std::move(body)) {}
  ~FunctionThread() override { FinishBeforeDestroy(); }

  using TThread::BeginSuspend;
  using TThread::SetExitCode;

 protected:
  void ThreadBody() override { body_(*this); }

 private:
  std::function<void(FunctionThread&)> body_;
};

}  // namespace qv::testing_support
