// The window's controls belong to the UI thread: a worker reaches them only
// through RunOnUiThread. Debug and test builds (QUORVANE_UI_THREAD_CHECKS)
// check this at the controls' entry points and end the program with a message
// naming the control, so that a step that skipped the hand-off fails every
// test that runs it, not only under ThreadSanitizer and not only when the
// timing is unlucky. Release packages leave the check out.
#pragma once

namespace qv {

#if QUORVANE_UI_THREAD_CHECKS
// Aborts with a message naming `control` when called off the UI thread.
void CheckUiThread(const char* control);
#else
inline void CheckUiThread(const char*) {}
#endif

}  // namespace qv
