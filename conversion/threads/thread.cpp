#include "conversion/threads/thread.h"

#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/platform.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {
namespace {

constexpr int kPriorityLevels[] = {-15, -2, -1, 0, 1, 2, 15};

[[noreturn]] void RaiseThreadError(int error) {
  throw EThread(
      Format("Thread Error: %s (%d)", SystemErrorText(error).c_str(), SystemErrorCode(error)));
}

}  // namespace

int PriorityLevel(TThreadPriority priority) {
  return kPriorityLevels[priority];
}

TThreadPriority PriorityFromLevel(int level) {
  for (int i = 0; i < 7; ++i) {
    if (kPriorityLevels[i] == level) return static_cast<TThreadPriority>(i);
  }
  return tpNormal;
}

TThread::TThread(bool create_suspended)
    : suspended_(create_suspended), created_suspended_(create_suspended) {}

TThread::~TThread() {
  FinishBeforeDestroy();
  Join();
}

void TThread::AfterConstruction() {
  if (!created_suspended_) Resume();
}

void TThread::StartLocked() {
  try {
    thread_ = std::thread(&TThread::ThreadProc, this);
  } catch (const std::system_error& e) {
    throw EThread(Format("Thread creation error: %s", SystemErrorText(e.code().value()).c_str()));
  }
  thread_key_ = thread_.get_id();
  started_ = true;
}

void TThread::Resume() {
  {
    std::unique_lock lock(mutex_);
    if (!started_) {
      const bool was_suspended = suspended_;
      suspended_ = true;  // the new thread waits here until its priority is known
      try {
        StartLocked();
      } catch (...) {
        suspended_ = was_suspended;
        throw;
      }
      // The new thread takes the priority asked for before it existed and
      // reports back before it may run: a refusal is raised here, as a refused
      // change of a running thread is, and the thread stays suspended (at the
      // priority it had) instead of running while claiming another.
      start_signal_.wait(lock, [&] { return start_reported_; });
      if (const int error = start_error_) {
        start_error_ = 0;
        RaiseThreadError(error);
      }
    } else if (!suspended_) {
      return;
    }
    suspended_ = false;
    // Under the lock: once it is released, a free-when-done thread may run to
    // its end and delete itself, signal and all.
    resume_signal_.notify_all();
  }
}

void TThread::Suspend() {
  {
    std::lock_guard lock(mutex_);
    if (!started_) {
      suspended_ = true;  // it has not run yet and will not until resumed
      return;
    }
    // Holding another thread at an arbitrary point could leave a lock taken
    // forever; only a thread's own request is honoured.
    if (thread_key_ != std::this_thread::get_id()) RaiseThreadError(ENOTSUP);
    suspended_ = true;
  }
  WaitWhileSuspended();
}

void TThread::BeginSuspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void TThread::WaitWhileSuspended() {
  std::unique_lock lock(mutex_);
  resume_signal_.wait(lock, [&] { return !suspended_; });
}

bool TThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

bool TThread::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

uint64_t TThread::ThreadId() const {
  std::lock_guard lock(mutex_);
  return thread_id_;
}

void TThread::SetPriority(TThreadPriority priority) {
  std::lock_guard lock(mutex_);
  if (thread_live_) {
    if (const int error = SetThreadPriorityLevel(thread_id_, PriorityLevel(priority))) {
      RaiseThreadError(error);
    }
  }
  priority_ = priority;
}

TThreadPriority TThread::Priority() const {
  std::lock_guard lock(mutex_);
  if (!thread_live_) return priority_;
  int level = 0;
  if (const int error = GetThreadPriorityLevel(thread_id_, level)) RaiseThreadError(error);
  // In a niced process the system may keep the last level set as a neighbour's.
  if (level == AppliedThreadPriorityLevel(PriorityLevel(priority_))) return priority_;
  return PriorityFromLevel(level);
}

void TThread::SetOnTerminate(TTerminateHook hook) {
  std::lock_guard lock(mutex_);
  on_terminate_ = std::move(hook);
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(mutex_);
  return fatal_exception_;
}

void TThread::DoTerminate() {
  TTerminateHook hook;
  {
    std::lock_guard lock(mutex_);
    hook = on_terminate_;
  }
  if (hook) RunOnUiThread([&] { hook(*this); });
}

uint32_t TThread::WaitForEnd() {
  if (IsUiThread()) {
    // A thread's end sets the requests-pending event too, so one wait covers
    // both; the time limit only bounds a wait that missed nothing.
    while (!finished_.load()) {
      if (WaitForUiRequests(std::chrono::milliseconds(1000))) ServeUiRequests();
    }
  } else {
    std::unique_lock lock(mutex_);
    end_signal_.wait(lock, [&] { return finished_.load(); });
  }
  const uint32_t code = exit_code_.load();
  if (!free_on_terminate_.load()) Join();
  return code;
}

void TThread::Join() noexcept {
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable() || thread_key_ == std::this_thread::get_id()) return;
    thread = std::move(thread_);
  }
  thread.join();
}

void TThread::FinishBeforeDestroy() noexcept {
  if (finished_.load()) return;
  Terminate();
  try {
    // A thread that never ran now runs, sees the mark and ends without its
    // body; one that suspended itself wakes and sees the mark.
    Resume();
  } catch (...) {
    std::lock_guard lock(mutex_);
    if (!started_) {
      finished_.store(true);  // no platform thread can be made, so none will ever run
      return;
    }
    // Made but held back (its priority was refused): it wakes, sees the mark
    // and ends without its body.
    resume_signal_.notify_all();
  }
  try {
    WaitForEnd();
  } catch (...) {
  }
}

void TThread::ThreadProc(TThread* self) {
  {
    std::unique_lock lock(self->mutex_);
    self->thread_id_ = CurrentThreadId();
    self->thread_live_ = true;
    // Taken now, since the thread did not exist when it was set; the first
    // Resume waits for the outcome and reports a refusal.
    if (self->priority_ != tpNormal) {
      self->start_error_ = SetThreadPriorityLevel(self->thread_id_, PriorityLevel(self->priority_));
    }
    self->start_reported_ = true;
    self->start_signal_.notify_all();
    self->resume_signal_.wait(lock, [&] { return !self->suspended_ || self->terminated_.load(); });
  }
  if (!self->terminated_.load()) {
    try {
      self->ThreadBody();
    } catch (...) {
      std::lock_guard lock(self->mutex_);
      self->fatal_exception_ = std::current_exception();
    }
  }
  const bool free_when_done = self->free_on_terminate_.load();
  try {
    self->DoTerminate();
  } catch (...) {
    std::lock_guard lock(self->mutex_);
    if (!self->fatal_exception_) self->fatal_exception_ = std::current_exception();
  }
  {
    std::lock_guard lock(self->mutex_);
    self->thread_live_ = false;
    if (free_when_done) self->thread_.detach();
    self->finished_.store(true);
    self->end_signal_.notify_all();
  }
  SignalUiRequestsPending();
  if (free_when_done) delete self;
}

}  // namespace qv
