#include "conversion/threads/ui_handoff.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"

namespace qv {
namespace {

// One handed-over step; it lives on the stack of the thread that waits for it.
struct Request {
  const std::function<void()>* step;
  std::exception_ptr error;
  std::mutex done_mutex;
  std::condition_variable done_signal;
  bool done = false;
};

// The process-wide hand-off state. Never destroyed, so that a worker still
// running while the process exits never meets a destroyed lock.
struct HandOff {
  std::recursive_mutex request_lock;  // guards `requests` and `wake`
  std::deque<Request*> requests;
  std::function<void()> wake;

  std::mutex event_mutex;  // the requests-pending event: manual reset
  std::condition_variable event_signal;
  bool event_set = false;

  std::atomic<std::thread::id> ui_thread{std::this_thread::get_id()};
};

HandOff& State() {
  static HandOff* state = new HandOff;
  return *state;
}

// Made during static initialisation, which runs on the thread that starts the
// process: that thread is the UI thread until SetUiThread says otherwise.
[[maybe_unused]] const HandOff& kMadeAtStart = State();

void SetEvent(HandOff& s) {
  {
    std::lock_guard lock(s.event_mutex);
    s.event_set = true;
  }
  s.event_signal.notify_all();
}

}  // namespace

void SetUiThread() {
  State().ui_thread.store(std::this_thread::get_id());
  SetCurrentThreadName("Main");
}

bool IsUiThread() {
  return State().ui_thread.load() == std::this_thread::get_id();
}

void SetWakeUiThread(std::function<void()> wake) {
  HandOff& s = State();
  std::lock_guard lock(s.request_lock);
  s.wake = std::move(wake);
}

void RunOnUiThread(const std::function<void()>& step) {
  if (IsUiThread()) {
    step();
    return;
  }
  HandOff& s = State();
  Request request;
  request.step = &step;
  {
    std::lock_guard lock(s.request_lock);
    s.requests.push_back(&request);
    SetEvent(s);
    // The request is queued and the event set whatever the wake-up does, so a
    // failing wake-up only delays the step until the UI thread's next idle pass.
    try {
      if (s.wake) s.wake();
    } catch (...) {
    }
  }
  {
    std::unique_lock lock(request.done_mutex);
    request.done_signal.wait(lock, [&] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

bool ServeUiRequests() {
  if (!IsUiThread()) {
    throw EThread(Format("CheckSynchronize called from thread $%x, which is NOT the main thread",
                         static_cast<unsigned>(CurrentThreadId())));
  }
  HandOff& s = State();
  {
    std::lock_guard lock(s.event_mutex);
    s.event_set = false;
  }
  std::deque<Request*> taken;
  {
    std::lock_guard lock(s.request_lock);
    taken.swap(s.requests);
  }
  if (taken.empty()) return false;
  for (Request* request : taken) {
    try {
      (*request->step)();
    } catch (...) {
      request->error = std::current_exception();
    }
    // After this the waiting thread may return and the request is gone.
    std::lock_guard lock(request->done_mutex);
    request->done = true;
    request->done_signal.notify_one();
  }
  return true;
}

bool WaitForUiRequests(std::chrono::milliseconds timeout) {
  HandOff& s = State();
  std::unique_lock lock(s.event_mutex);
  return s.event_signal.wait_for(lock, timeout, [&] { return s.event_set; });
}

void SignalUiRequestsPending() {
  SetEvent(State());
}

}  // namespace qv
