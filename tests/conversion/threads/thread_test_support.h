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

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#endif

#include "conversion/threads/thread.h"
#include "conversion/threads/ui_handoff.h"
#include "tests/test_support.h"

namespace qv::testing_support {

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

// Waits, without serving steps, until a step has been handed over (or a thread
// has ended). Clear the requests-pending event first (ServeUiRequests with
// nothing pending) so that only what follows counts.
inline void WaitUntilAStepIsPending() {
  while (!WaitForUiRequests(std::chrono::seconds(1))) {
  }
}

#ifdef _WIN32
// Windows has no unprivileged account to drop to from a test and no per-user
// process limit, so the refusals these helpers set up are tested on Linux only.
inline int AsUnprivilegedUser(const std::function<int()>& body) {
  return body();
}
inline std::string NoUnprivilegedUser() {
  return "Windows: no unprivileged user to drop to and no process limit to lower";
}
#else
// Runs `body` in the calling process as an unprivileged user: a test that runs
// as root drops to "nobody" first (run it in a child process, such as a death
// test's, since there is no way back). Returns `body`'s result, or 90 when the
// privileges cannot be dropped.
inline int AsUnprivilegedUser(const std::function<int()>& body) {
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
        ::setuid(nobody->pw_uid) != 0) {
      std::fprintf(stderr, "cannot become an unprivileged user\n");
      return 90;
    }
  }
  return body();
}

// Why AsUnprivilegedUser cannot work here, or empty when it can.
inline std::string NoUnprivilegedUser() {
  if (::geteuid() == 0 && ::getpwnam("nobody") == nullptr)
    return "running as root and there is no user nobody";
  return {};
}
#endif

// A thread's name as the system keeps it: Linux cuts names to 15 bytes,
// Windows keeps them whole.
inline std::string KeptThreadName(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  return name.substr(0, 15);
#endif
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
