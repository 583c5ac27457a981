#include "app/text_worker.h"

#include <exception>

#include "app/error_trap.h"
#include "conversion/threads/id_thread_component.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {

TTextWorker::TTextWorker() : component_(std::make_unique<TIdThreadComponent>()) {
  component_->SetThreadName("TextWorker");
  component_->OnRun = [this](TIdThreadComponent& sender) {
    try {
      job_();
    } catch (...) {
      const std::exception_ptr error = std::current_exception();
      try {
        RunOnUiThread([error] { ReportUnhandledErrorLater(error); });
      } catch (...) {
        // The window is gone: nobody is left to tell.
      }
    }
    sender.StopWorker();
  };
}

TTextWorker::~TTextWorker() {
  cancelled_ = true;
  component_.reset();
}

bool TTextWorker::Busy() const {
  return component_->Active();
}

bool TTextWorker::Start(std::function<void()> job) {
  if (Busy()) return false;
  job_ = std::move(job);
  component_->StartWorker();
  return true;
}

}  // namespace qv
