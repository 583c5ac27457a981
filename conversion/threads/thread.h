// TThread: one platform thread wrapped in an object.
//
// The platform thread is made at the first Resume (a thread created suspended
// has none until then); construction never starts it, because ThreadBody is
// virtual: a thread not created suspended starts in AfterConstruction, which
// the creator calls once the most-derived constructor has finished.
// Suspension is cooperative: a thread can only suspend itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

// Platform levels, in this order: -15, -2, -1, 0, 1, 2, 15.
enum TThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// The platform level of a priority, and back (a level not in the table reads as tpNormal).
int PriorityLevel(TThreadPriority priority);
TThreadPriority PriorityFromLevel(int level);

class TThread {
 public:
  // Called on the UI thread (through RunOnUiThread) when the thread ends.
  using TTerminateHook = std::function<void(TThread& sender)>;

  explicit TThread(bool create_suspended);
  // Must not run on the object's own thread unless Finished(). Ends the thread
  // (see FinishBeforeDestroy) and releases the fatal exception.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the thread unless it was created suspended. Call once, right after construction.
  void AfterConstruction();

  // Lets a suspended thread continue, making the platform thread at the first
  // call. EThread "Thread creation error: %s" when no thread can be made.
  void Resume();
  // Suspends the calling thread, which must be this object's own, until the next
  // Resume. From any other thread: EThread "Thread Error: %s (%d)", marks unchanged.
  void Suspend();

  // Changes the priority at once (a thread not yet made takes it when it starts).
  // A refused change: EThread "Thread Error: %s (%d)". tpNormal is always accepted
  // on a thread that was never raised or lowered.
  void SetPriority(TThreadPriority priority);
  TThreadPriority Priority() const;

  // Sets the terminated mark; nothing else. ThreadBody is expected to look at it.
  void Terminate() { terminated_.store(true); }
  // Waits until the thread has ended and returns its exit code. On the UI thread
  // it serves handed-over steps while it waits (at most 1000 ms per wait).
  uint32_t WaitForEnd();

  bool Terminated() const { return terminated_.load(); }
  bool Finished() const { return finished_.load(); }
  bool Suspended() const;
  bool CreatedSuspended() const { return created_suspended_; }
  // Whether the platform thread has been made.
  bool Started() const;
  // The system's identifier of the platform thread; 0 before it runs.
  uint64_t ThreadId() const;

  // With the mark set the object deletes itself when its thread ends; it must
  // then have been made with new and be owned by nobody.
  bool FreeOnTerminate() const { return free_on_terminate_.load(); }
  void SetFreeOnTerminate(bool value) { free_on_terminate_.store(value); }

  uint32_t ExitCode() const { return exit_code_.load(); }
  // Set before the thread starts.
  void SetOnTerminate(TTerminateHook hook);
  // The exception that escaped ThreadBody, or none. Read it after the thread has ended.
  std::exception_ptr FatalException() const;

 protected:
  // Termination notice, on the thread as it ends: calls the terminate hook on the UI thread.
  virtual void DoTerminate();
  virtual void ThreadBody() = 0;

  void SetExitCode(uint32_t code) { exit_code_.store(code); }
  // Step one of destruction: unless the thread has finished, set the terminated
  // mark, start a thread that never ran (it then ends without ThreadBody) and wait
  // for the end. The most-derived destructor calls this first, so that the thread
  // never runs a virtual of a class already destroyed. Never fails.
  void FinishBeforeDestroy() noexcept;

  // For cooperative suspension decided under a caller's lock: BeginSuspend sets
  // the mark (so a Resume racing with it is not lost), WaitWhileSuspended sleeps
  // on the thread itself until Resume clears it.
  void BeginSuspend();
  void WaitWhileSuspended();

 private:
  static void ThreadProc(TThread* self);
  void StartLocked();  // requires mutex_
  void Join() noexcept;

  mutable std::mutex mutex_;  // everything below that is not atomic
  std::condition_variable resume_signal_;
  std::condition_variable end_signal_;
  std::thread thread_;
  std::thread::id thread_key_;  // identity of the platform thread once made
  bool started_ = false;
  uint64_t thread_id_ = 0;
  bool thread_live_ = false;  // thread_id_ names our thread (ids are reused after exit)
  bool suspended_;
  const bool created_suspended_;
  TThreadPriority priority_ = tpNormal;
  TTerminateHook on_terminate_;
  std::exception_ptr fatal_exception_;

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> free_on_terminate_{false};
  std::atomic<uint32_t> exit_code_{0};
};

}  // namespace qv
