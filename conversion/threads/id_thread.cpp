#include "conversion/threads/id_thread.h"

#include <utility>

#include "base/exceptions.h"
#include "base/platform.h"

namespace qv {
namespace {

// Hands the failure to `use` as a std::exception; one of another kind shows as
// an Exception with a plain text.
template <class Use>
void WithException(const std::exception_ptr& failure, Use&& use) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    use(e);
  } catch (...) {
    const Exception unknown("Unknown exception");
    use(unknown);
  }
}

std::string ClassNameOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->ClassName();
  return "std::exception";
}

}  // namespace

TIdThread::TIdThread(bool create_suspended, bool loop, std::string name)
    : TThread(create_suspended), loop_(loop), name_(std::move(name)) {}

TIdThread::~TIdThread() {
  RequestTerminate();
  FinishBeforeDestroy();
}

void TIdThread::RequestStart() {
  std::lock_guard guard(lock_);
  if (IsStopped()) {
    stopped_ = Terminated();
    Resume();
  }
}

void TIdThread::RequestStop() {
  std::lock_guard guard(lock_);
  if (!IsStopped()) {
    if (stop_mode_ == smTerminate) RequestTerminate();
    stopped_ = true;
  }
}

void TIdThread::RequestTerminate() {
  std::lock_guard guard(lock_);
  stopped_ = true;
  Terminate();
}

bool TIdThread::IsStopped() {
  std::lock_guard guard(lock_);
  return Terminated() || stopped_ || Suspended();
}

uint32_t TIdThread::TerminateAndWaitFor() {
  if (FreeOnTerminate()) {
    throw EIdException("Cannot call TerminateAndWaitFor on FreeAndTerminate threads");
  }
  Terminate();
  RequestStart();
  return WaitForEnd();
}

bool TIdThread::Loop() {
  std::lock_guard guard(lock_);
  return loop_;
}

void TIdThread::SetLoop(bool loop) {
  std::lock_guard guard(lock_);
  loop_ = loop;
}

std::string TIdThread::Name() {
  std::lock_guard guard(lock_);
  return name_;
}

void TIdThread::SetName(const std::string& name) {
  std::lock_guard guard(lock_);
  name_ = name;
}

TIdThreadStopMode TIdThread::StopMode() {
  std::lock_guard guard(lock_);
  return stop_mode_;
}

void TIdThread::SetStopMode(TIdThreadStopMode mode) {
  std::lock_guard guard(lock_);
  stop_mode_ = mode;
}

bool TIdThread::Stopped() {
  std::lock_guard guard(lock_);
  return stopped_;
}

bool TIdThread::CleanupPending() {
  std::lock_guard guard(lock_);
  return cleanup_pending_;
}

std::string TIdThread::ExceptionClassName() {
  std::lock_guard guard(lock_);
  return exception_class_;
}

std::string TIdThread::ExceptionMessage() {
  std::lock_guard guard(lock_);
  return exception_message_;
}

void TIdThread::SetOnException(TExceptionHook hook) {
  std::lock_guard guard(lock_);
  on_exception_ = std::move(hook);
}

void TIdThread::SetOnStopped(TStoppedHook hook) {
  std::lock_guard guard(lock_);
  on_stopped_ = std::move(hook);
}

void TIdThread::Cleanup() {
  std::lock_guard guard(lock_);
  cleanup_pending_ = false;
}

void TIdThread::NotifyException(const std::exception& e) {
  TExceptionHook hook;
  {
    std::lock_guard guard(lock_);
    hook = on_exception_;
  }
  if (hook) hook(*this, e);
}

void TIdThread::NotifyStopped() {
  TStoppedHook hook;
  {
    std::lock_guard guard(lock_);
    hook = on_stopped_;
  }
  if (hook) hook(*this);
}

void TIdThread::ThreadBody() {
  std::exception_ptr failure;
  try {
    std::string name;
    {
      std::lock_guard guard(lock_);
      if (name_.empty()) name_ = "IdThread (unknown)";
      name = name_;
    }
    SetCurrentThreadName(name);
    BeforeExecute();
    std::exception_ptr loop_failure;
    try {
      while (!Terminated()) {
        if (IsStopped()) {
          NotifyStopped();
          // Decided under the lock, so that a start request cannot slip in
          // between the test and the suspension and be lost.
          bool leave = false;
          bool wait = false;
          {
            std::lock_guard guard(lock_);
            if (IsStopped()) {
              if (Terminated()) {
                leave = true;
              } else {
                BeginSuspend();
                wait = true;
              }
            }
          }
          if (leave) break;
          if (wait) {
            WaitWhileSuspended();
            if (Terminated()) break;
          }
        }
        {
          std::lock_guard guard(lock_);
          cleanup_pending_ = true;
        }
        RunPass();
      }
    } catch (...) {
      loop_failure = std::current_exception();
    }
    try {
      AfterExecute();
    } catch (...) {
      loop_failure = std::current_exception();
    }
    if (loop_failure) std::rethrow_exception(loop_failure);
  } catch (...) {
    failure = std::current_exception();
  }
  if (!failure) return;
  try {
    WithException(failure, [&](const std::exception& e) {
      {
        std::lock_guard guard(lock_);
        exception_class_ = ClassNameOf(e);
        exception_message_ = e.what();
      }
      NotifyException(e);
    });
  } catch (...) {
    Terminate();
    throw;
  }
  Terminate();
}

void TIdThread::RunPass() {
  std::exception_ptr failure;
  try {
    try {
      BeforeRun();
      if (Loop()) {
        while (!IsStopped()) Run();
      } else {
        Run();
      }
    } catch (...) {
      bool handled = false;
      WithException(std::current_exception(),
                    [&](const std::exception& e) { handled = HandleRunException(e); });
      if (!handled) {
        Terminate();
        throw;
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // Both happen whatever the run did; a failure of either replaces the run's.
  try {
    AfterRun();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    Cleanup();
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace qv
