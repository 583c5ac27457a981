#include "app/support/perf_trace.h"

#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

struct TTrace {
  std::FILE* file = nullptr;
  Clock::time_point start = Clock::now();
};

TTrace& Trace() {
  static TTrace trace = [] {
    TTrace t;
    const char* path = std::getenv("QUORVANE_PERF_TRACE");
    if (path != nullptr && *path != '\0') t.file = std::fopen(path, "w");
    return t;
  }();
  return trace;
}

double Milliseconds(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(t - Trace().start).count();
}

}  // namespace

bool PerfTraceOn() {
  return Trace().file != nullptr;
}

void PerfMark(const QString& what) {
  TTrace& trace = Trace();
  if (trace.file == nullptr) return;
  std::fprintf(trace.file, "%.3f %s\n", Milliseconds(Clock::now()), what.toUtf8().constData());
  std::fflush(trace.file);
}

void StartPerfStallWatch(QObject* parent) {
  if (!PerfTraceOn()) return;
  auto* timer = new QTimer(parent);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(1);
  auto last = std::make_shared<Clock::time_point>(Clock::now());
  QObject::connect(timer, &QTimer::timeout, [last] {
    const Clock::time_point now = Clock::now();
    const double gap = std::chrono::duration<double, std::milli>(now - *last).count();
    if (gap > 8) PerfMark(QStringLiteral("stall %1").arg(gap, 0, 'f', 3));
    *last = now;
  });
  timer->start();
}

}  // namespace qv
