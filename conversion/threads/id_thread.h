// The worker's thread object: TIdThread adds to TThread a run loop with start
// and stop requests.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "conversion/threads/thread.h"

namespace qv {

// A re-entrant lock: an operation holding it may call another that takes it.
class TIdCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  // For std::lock_guard.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mutex_;
};

// What a stop request does: end the thread, or only mark it stopped so that it
// suspends itself at its next pass until the next start request.
enum TIdThreadStopMode : uint8_t { smTerminate, smSuspend };

class TIdThread : public TThread {
 public:
  using TExceptionHook = std::function<void(TIdThread& sender, const std::exception& e)>;
  using TStoppedHook = std::function<void(TIdThread& sender)>;

  // Marked stopped. Nothing runs before the first RequestStart when created suspended.
  explicit TIdThread(bool create_suspended = true, bool loop = true, std::string name = "");
  // Requests termination, then waits for the thread (serving UI steps on the UI thread).
  ~TIdThread() override;

  // When stopped: clear the stopped mark (keep it if terminated) and resume.
  // Otherwise nothing. Fails like Resume (EThread).
  void RequestStart();
  // When running: with smTerminate request termination; mark stopped.
  void RequestStop();
  // Marks the thread stopped and terminated.
  void RequestTerminate();
  // True when terminated, stopped or suspended.
  bool IsStopped();
  // Marks terminated, sends a start request and waits for the end; returns the
  // exit code. A free-when-done thread: EIdException "Cannot call
  // TerminateAndWaitFor on FreeAndTerminate threads".
  uint32_t TerminateAndWaitFor();

  // Settings the body reads; the component copies them in at every start.
  bool Loop();
  void SetLoop(bool loop);
  std::string Name();
  void SetName(const std::string& name);
  TIdThreadStopMode StopMode();
  void SetStopMode(TIdThreadStopMode mode);

  bool Stopped();
  bool CleanupPending();
  // Class name and message of the exception that ended the body; empty if none did.
  std::string ExceptionClassName();
  std::string ExceptionMessage();

  // Set before the thread starts.
  void SetOnException(TExceptionHook hook);
  void SetOnStopped(TStoppedHook hook);

 protected:
  // Names the thread, then runs passes until terminated; a run failure not
  // handled by HandleRunException ends the thread (recorded, shown nowhere).
  void ThreadBody() override;

  virtual void AfterRun() {}
  virtual void AfterExecute() {}
  virtual void BeforeExecute() {}
  virtual void BeforeRun() {}
  // Clears the cleanup-pending mark (there is no per-run data to release).
  virtual void Cleanup();
  virtual void NotifyException(const std::exception& e);
  virtual void NotifyStopped();
  // True when a failure of the run has been dealt with and the thread goes on.
  virtual bool HandleRunException(const std::exception&) { return false; }
  virtual void Run() = 0;

 private:
  void RunPass();

  TIdCriticalSection lock_;  // guards the fields below
  bool stopped_ = true;
  bool cleanup_pending_ = false;
  bool loop_;
  std::string name_;
  TIdThreadStopMode stop_mode_ = smTerminate;
  std::string exception_class_;
  std::string exception_message_;
  TExceptionHook on_exception_;
  TStoppedHook on_stopped_;
};

}  // namespace qv
