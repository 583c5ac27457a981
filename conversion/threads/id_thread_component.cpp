#include "conversion/threads/id_thread_component.h"

#include <utility>

#include "base/exceptions.h"

namespace qv {

TIdThreadComponent::TIdThreadComponent() = default;

TIdThreadComponent::~TIdThreadComponent() {
  std::unique_ptr<TIdThreadEx> thread;
  {
    std::lock_guard lock(mutex_);
    if (thread_) {
      thread_->RequestTerminate();
      try {
        thread_->RequestStart();  // wakes a thread still suspended
      } catch (...) {
        // A thread that cannot be made never ran; destroying it is all that is left.
      }
      thread = std::move(thread_);
    }
  }
  // Outside the lock: the run may still call StopWorker while this waits.
  thread.reset();
}

bool TIdThreadComponent::Active() const {
  std::lock_guard lock(mutex_);
  if (loading_) return stored_active_;
  return thread_ && !thread_->IsStopped();
}

void TIdThreadComponent::SetActive(bool active) {
  {
    std::lock_guard lock(mutex_);
    if (loading_) {
      stored_active_ = active;
      return;
    }
  }
  if (active == Active()) return;
  if (active) {
    StartWorker();
  } else {
    StopWorker();
  }
}

bool TIdThreadComponent::Loop() const {
  std::lock_guard lock(mutex_);
  return loop_;
}

void TIdThreadComponent::SetLoop(bool loop) {
  std::lock_guard lock(mutex_);
  if (thread_ && !thread_->IsStopped()) {
    throw EIdException("Cannot set Loop property when the Thread is already running.");
  }
  loop_ = loop;
}

std::string TIdThreadComponent::ThreadName() const {
  std::lock_guard lock(mutex_);
  return thread_name_;
}

void TIdThreadComponent::SetThreadName(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (thread_ && !thread_->IsStopped()) {
    throw EIdException("Cannot set ThreadName when the Thread is already running.");
  }
  thread_name_ = name;
}

TThreadPriority TIdThreadComponent::Priority() const {
  std::lock_guard lock(mutex_);
  return priority_;
}

void TIdThreadComponent::SetPriority(TThreadPriority priority) {
  std::lock_guard lock(mutex_);
  if (thread_) thread_->SetPriority(priority);
  priority_ = priority;
}

TIdThreadStopMode TIdThreadComponent::StopMode() const {
  std::lock_guard lock(mutex_);
  return stop_mode_;
}

void TIdThreadComponent::SetStopMode(TIdThreadStopMode mode) {
  std::lock_guard lock(mutex_);
  stop_mode_ = mode;
}

void TIdThreadComponent::BeginLoading() {
  std::lock_guard lock(mutex_);
  loading_ = true;
}

void TIdThreadComponent::Loaded() {
  bool start = false;
  {
    std::lock_guard lock(mutex_);
    loading_ = false;
    start = stored_active_;
  }
  if (start) SetActive(true);
}

void TIdThreadComponent::StartWorker() {
  std::unique_ptr<TIdThreadEx> ended;
  {
    std::lock_guard lock(mutex_);
    if (thread_ && thread_->Terminated()) ended = std::move(thread_);
  }
  // Waits for the rest of an ending run (serving its UI steps); an ended one is
  // gone at once.
  ended.reset();

  std::unique_ptr<TIdThreadEx> failed;
  std::exception_ptr failure;
  {
    std::lock_guard lock(mutex_);
    if (!thread_) {
      thread_ = std::make_unique<TIdThreadEx>(*this, loop_);
      if (OnTerminate) thread_->SetOnTerminate([this](TThread&) { DoTerminate(); });
    }
    thread_->SetName(thread_name_);
    thread_->SetLoop(loop_);
    thread_->SetPriority(priority_);
    thread_->SetStopMode(stop_mode_);
    try {
      thread_->RequestStart();
    } catch (...) {
      // The platform thread is made at the first start: if that failed, the
      // object never ran and the next start tries afresh.
      if (!thread_->Started()) failed = std::move(thread_);
      failure = std::current_exception();
    }
  }
  failed.reset();  // outside the lock, like every destruction of a thread object
  if (failure) std::rethrow_exception(failure);
}

void TIdThreadComponent::StopWorker() {
  std::lock_guard lock(mutex_);
  if (thread_) thread_->RequestStop();
}

void TIdThreadComponent::Terminate() {
  std::lock_guard lock(mutex_);
  if (thread_) thread_->Terminate();
}

uint32_t TIdThreadComponent::TerminateAndWaitFor() {
  TIdThreadEx* thread = nullptr;
  {
    std::lock_guard lock(mutex_);
    thread = thread_.get();
  }
  // Only the UI thread replaces the object, so it outlives this wait, which
  // must not hold the lock (the run may call StopWorker meanwhile).
  return thread ? thread->TerminateAndWaitFor() : 0;
}

TIdThreadEx* TIdThreadComponent::Thread() const {
  std::lock_guard lock(mutex_);
  return thread_.get();
}

void TIdThreadComponent::DoAfterExecute() {
  if (OnAfterExecute) OnAfterExecute(*this);
}
void TIdThreadComponent::DoAfterRun() {
  if (OnAfterRun) OnAfterRun(*this);
}
void TIdThreadComponent::DoBeforeExecute() {
  if (OnBeforeExecute) OnBeforeExecute(*this);
}
void TIdThreadComponent::DoBeforeRun() {
  if (OnBeforeRun) OnBeforeRun(*this);
}
void TIdThreadComponent::DoCleanup() {
  if (OnCleanup) OnCleanup(*this);
}
void TIdThreadComponent::DoException(const std::exception& e) {
  if (OnException) OnException(*this, e);
}
bool TIdThreadComponent::DoHandleRunException(const std::exception& e) {
  bool handled = false;
  if (OnHandleRunException) OnHandleRunException(*this, e, handled);
  return handled;
}
void TIdThreadComponent::DoRun() {
  if (OnRun) OnRun(*this);
}
void TIdThreadComponent::DoStopped() {
  if (OnStopped) OnStopped(*this);
}
void TIdThreadComponent::DoTerminate() {
  if (OnTerminate) OnTerminate(*this);
}

TIdThreadEx::TIdThreadEx(TIdThreadComponent& component, bool loop)
    : TIdThread(true, loop), component_(component) {
  SetOnException([this](TIdThread&, const std::exception& e) { component_.DoException(e); });
  SetOnStopped([this](TIdThread&) { component_.DoStopped(); });
}

// The body calls this class's overrides: wait for it before this part is gone.
TIdThreadEx::~TIdThreadEx() {
  RequestTerminate();
  FinishBeforeDestroy();
}

void TIdThreadEx::AfterRun() {
  component_.DoAfterRun();
}
void TIdThreadEx::AfterExecute() {
  component_.DoAfterExecute();
}
void TIdThreadEx::BeforeExecute() {
  component_.DoBeforeExecute();
}
void TIdThreadEx::BeforeRun() {
  component_.DoBeforeRun();
}

void TIdThreadEx::Cleanup() {
  TIdThread::Cleanup();
  component_.DoCleanup();
}

bool TIdThreadEx::HandleRunException(const std::exception& e) {
  return component_.DoHandleRunException(e);
}

void TIdThreadEx::Run() {
  component_.DoRun();
}

}  // namespace qv
