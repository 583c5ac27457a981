// Every place where Qt calls our code runs inside this trap: no C++ exception
// may unwind through Qt's frames. An escaping error goes to the application's
// error display and the window stays usable.
#pragma once

#include <exception>

namespace qv {

// Hands the error to the application object's display (standard error when
// there is no application object).
void ReportUnhandledError(std::exception_ptr error) noexcept;

// The same, once the current event is handled: for places such as painting
// where a modal box must not open.
void ReportUnhandledErrorLater(std::exception_ptr error) noexcept;

// Menu entries and shortcuts: AddTrappedAction / ConnectTrapped
// (app/support/trapped_action.h), with ReportUnhandledError as their report.
template <class F>
void Trapped(F&& fn) noexcept {
  try {
    fn();
  } catch (...) {
    ReportUnhandledError(std::current_exception());
  }
}

}  // namespace qv
