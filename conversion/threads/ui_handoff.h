// Hand-off of steps from background threads to the UI thread.
//
// A worker calls RunOnUiThread(step) and blocks until the UI thread has run the
// step; the UI thread runs pending steps whenever it calls ServeUiRequests (the
// application does so when WakeUiThread's posted event arrives, after each idle
// pass of its loop, and TThread::WaitForEnd does so while it waits). Steps run
// one at a time, in hand-over order. No Qt here: the wake-up is a callback.
#pragma once

#include <chrono>
#include <functional>

namespace qv {

// Makes the calling thread the UI thread and names it "Main" for debuggers.
// Without a call, the thread that started the process is the UI thread.
void SetUiThread();
// True on the UI thread.
bool IsUiThread();

// Installs the wake-up called (under the request lock, so it must not block or
// hand over steps) each time a step is handed over; an empty function removes it.
// The application's wake-up posts an event that makes the UI thread call
// ServeUiRequests.
void SetWakeUiThread(std::function<void()> wake);

// Runs `step` on the UI thread and returns when it is done. On the UI thread the
// step runs at once. An exception the step raises is raised again here, on the
// thread that handed it over. Never call it while holding a lock the UI thread
// may need.
void RunOnUiThread(const std::function<void()>& step);

// Runs every pending step, oldest first, and returns whether there were any.
// Holds no lock while a step runs. Called on any other thread than the UI thread
// it raises EThread "CheckSynchronize called from thread $%x, which is NOT the
// main thread" and leaves the pending steps alone.
bool ServeUiRequests();

// Waits at most `timeout` for the requests-pending event (set when a step is
// handed over and when a TThread ends); true when it is set. For loops without
// an event dispatcher: `if (WaitForUiRequests(ms)) ServeUiRequests();`.
bool WaitForUiRequests(std::chrono::milliseconds timeout);

// Sets the requests-pending event without handing over a step.
void SignalUiRequestsPending();

}  // namespace qv
