// TIdThreadComponent: the window's background worker. Each start makes (or
// reuses) a thread object that runs OnRun on its own thread; with Loop off the
// run handler ends the run by calling StopWorker, so one start gives one run.
//
// Threads: StartWorker, the setters, Terminate, TerminateAndWaitFor and
// destruction belong to the UI thread; StopWorker and Active may be called from
// the worker too. Events are set before the first start and are called on the
// worker thread; they reach the window only through RunOnUiThread.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "conversion/threads/id_thread.h"
#include "conversion/threads/thread.h"

namespace qv {

class TIdThreadComponent;

// The thread object a TIdThreadComponent makes: every hook calls the component's
// matching event, with the component as sender.
class TIdThreadEx final : public TIdThread {
 public:
  // Created suspended; the exception and stopped hooks go to the component.
  TIdThreadEx(TIdThreadComponent& component, bool loop);
  ~TIdThreadEx() override;

 protected:
  void AfterRun() override;
  void AfterExecute() override;
  void BeforeExecute() override;
  void BeforeRun() override;
  void Cleanup() override;
  bool HandleRunException(const std::exception& e) override;
  void Run() override;

 private:
  TIdThreadComponent& component_;
};

class TIdThreadComponent {
 public:
  using TIdNotifyThreadComponentEvent = std::function<void(TIdThreadComponent& sender)>;
  using TIdExceptionThreadComponentEvent =
      std::function<void(TIdThreadComponent& sender, const std::exception& e)>;
  // `handled` is false on entry; set it to let the thread go on after a failed run.
  using TIdExceptionThreadComponentEventEx =
      std::function<void(TIdThreadComponent& sender, const std::exception& e, bool& handled)>;

  // Inactive, Loop off, tpNormal, smTerminate, no ThreadName, no thread object.
  TIdThreadComponent();
  // Ends the worker: a run in progress is not interrupted; on the UI thread its
  // steps are served while this waits for it. OnRun's StopWorker then finds no
  // thread object and does nothing.
  ~TIdThreadComponent();
  TIdThreadComponent(const TIdThreadComponent&) = delete;
  TIdThreadComponent& operator=(const TIdThreadComponent&) = delete;

  TIdNotifyThreadComponentEvent OnRun;
  TIdNotifyThreadComponentEvent OnBeforeExecute;
  TIdNotifyThreadComponentEvent OnAfterExecute;
  TIdNotifyThreadComponentEvent OnBeforeRun;
  TIdNotifyThreadComponentEvent OnAfterRun;
  TIdNotifyThreadComponentEvent OnCleanup;
  TIdNotifyThreadComponentEvent OnStopped;
  // Called on the UI thread as a thread object's thread ends (set before the start).
  TIdNotifyThreadComponentEvent OnTerminate;
  // A failed run not handled by OnHandleRunException ends the thread; this sees it.
  TIdExceptionThreadComponentEvent OnException;
  TIdExceptionThreadComponentEventEx OnHandleRunException;

  // Whether a thread object exists and is not stopped (while loading: the
  // stored request). Setting it to the other value starts or stops the worker.
  bool Active() const;
  void SetActive(bool active);
  // Loop and ThreadName cannot change while the worker is active: EIdException
  // "Cannot set Loop property when the Thread is already running." /
  // "Cannot set ThreadName when the Thread is already running.", nothing changed.
  bool Loop() const;
  void SetLoop(bool loop);
  std::string ThreadName() const;
  void SetThreadName(const std::string& name);
  // Also set on the current thread object at once. EThread when refused.
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority priority);
  TIdThreadStopMode StopMode() const;
  void SetStopMode(TIdThreadStopMode mode);

  // While loading, SetActive only stores the request; Loaded ends loading and
  // starts the worker when the stored request is true.
  void BeginLoading();
  void Loaded();

  // Starts a run; after an ended run, on a new thread object (waiting, with UI
  // steps served, for the rest of an ending one). While a run is in progress it
  // copies the settings again and starts nothing. Failures: EThread "Thread
  // creation error: %s" (no thread object remains) or "Thread Error: %s (%d)".
  void StartWorker();
  // Passes a stop request to the current thread object, if any. Any thread.
  void StopWorker();
  // Marks the current thread object terminated.
  void Terminate();
  // Terminates the current thread object and waits for its end (exit code; 0
  // without a thread object).
  uint32_t TerminateAndWaitFor();

  // The current thread object, or null. Owned by the component: valid until the
  // next StartWorker or the component's destruction.
  TIdThreadEx* Thread() const;

  // Dispatchers, called by the thread object on the worker thread; each calls
  // its event when set.
  void DoAfterExecute();
  void DoAfterRun();
  void DoBeforeExecute();
  void DoBeforeRun();
  void DoCleanup();
  void DoException(const std::exception& e);
  bool DoHandleRunException(const std::exception& e);
  void DoRun();
  void DoStopped();
  void DoTerminate();

 private:
  mutable std::mutex mutex_;  // guards the fields below; never held while waiting
  std::unique_ptr<TIdThreadEx> thread_;
  bool loading_ = false;
  bool stored_active_ = false;
  bool loop_ = false;
  std::string thread_name_;
  TThreadPriority priority_ = tpNormal;
  TIdThreadStopMode stop_mode_ = smTerminate;
};

}  // namespace qv
