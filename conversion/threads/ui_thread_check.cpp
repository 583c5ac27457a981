#include "conversion/threads/ui_thread_check.h"

#include <cstdio>
#include <cstdlib>

#include "base/platform.h"
#include "conversion/threads/ui_handoff.h"

namespace qv {

#if QUORVANE_UI_THREAD_CHECKS
void CheckUiThread(const char* control) {
  if (IsUiThread()) return;
  std::fprintf(stderr,
               "Quorvane: %s used on thread %llu, which is not the UI thread; "
               "hand the step over with RunOnUiThread\n",
               control, static_cast<unsigned long long>(CurrentThreadId()));
  std::fflush(stderr);
  std::abort();
}
#endif

}  // namespace qv
