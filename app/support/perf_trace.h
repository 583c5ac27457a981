// Timing marks for the performance report (scripts/perf-report.sh). Off unless
// QUORVANE_PERF_TRACE names a file; then each mark, and each stall of the UI
// thread, is appended to it as "<milliseconds since start> <what>". Off, a
// mark costs one test of a flag.
#pragma once

#include <QString>

class QObject;

namespace qv {

bool PerfTraceOn();
// Records `what` with the time now (from any thread: each mark is one write).
void PerfMark(const QString& what);
// Ticks a 1 ms timer owned by `parent` on the UI thread and records every gap
// between ticks over 8 ms as "stall <ms>". Does nothing when the trace is off.
void StartPerfStallWatch(QObject* parent);

}  // namespace qv
