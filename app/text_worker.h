// The worker for the text box's long jobs (tidying, loading and saving hex
// text): one job at a time on a thread of its own, beside the picture-to-hex
// worker, so that the window keeps answering while tens of megabytes are read.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace qv {

class TIdThreadComponent;

class TTextWorker {
 public:
  TTextWorker();
  // Asks a job in progress to stop (Cancelled() turns true) and waits for it,
  // serving its steps meanwhile.
  ~TTextWorker();
  TTextWorker(const TTextWorker&) = delete;
  TTextWorker& operator=(const TTextWorker&) = delete;

  // A job is running. UI thread.
  bool Busy() const;
  // Runs `job` on the worker thread; false (and nothing started) while another
  // job runs. The job reaches the window only through RunOnUiThread; an error
  // it lets escape is shown on the UI thread as any other error is.
  bool Start(std::function<void()> job);
  // For the job: the window is going away, stop soon.
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<TIdThreadComponent> component_;
  std::function<void()> job_;  // set on the UI thread before each start
  std::atomic<bool> cancelled_{false};
};

}  // namespace qv
