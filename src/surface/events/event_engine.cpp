#include "surface/events/event_engine.h"

#include <algorithm>

#include "surface/events/quit_signals.h"

namespace zt {

void EventEngine::CloseRequested() {
  if (closing_) return;
  closing_ = true;
  if (handlers_.query_unload) handlers_.query_unload();
}

void EventEngine::Pump() {
  Present();
  if (QuitSignals::Take()) CloseRequested();
  Gather();
  while (DispatchOne()) {
  }
  FireTimerIfDue();
  // Repaints asked for by the events just handled.
  Present();
}

int64_t EventEngine::WaitLimit(int64_t deadline) const {
  if (!timer_enabled_ || timer_interval_ <= 0) return deadline;
  return std::min(deadline, timer_due_);
}

void EventEngine::FireTimerIfDue() {
  if (!timer_enabled_ || timer_interval_ <= 0) return;
  const int64_t now = clock_.MonotonicMs();
  if (now < timer_due_) return;
  // One tick however late: ticks do not pile up.
  timer_due_ = now + timer_interval_;
  if (handlers_.timer1) handlers_.timer1();
}

void EventEngine::PumpFor(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  Pump();
  while (clock_.MonotonicMs() < deadline) {
    const int64_t limit = WaitLimit(deadline);
    if (limit > clock_.MonotonicMs()) WaitForNative(limit);
    Pump();
  }
}

void EventEngine::WaitAndPump(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  Present();
  for (;;) {
    const int64_t limit = WaitLimit(deadline);
    if (limit <= clock_.MonotonicMs() || QuitSignals::Pending()) break;
    if (WaitForNative(limit)) break;
  }
  Pump();
}

void EventEngine::SetTimer1Interval(int32_t ms) {
  timer_interval_ = ms;
  timer_due_ = clock_.MonotonicMs() + std::max(ms, 0);
}

void EventEngine::SetTimer1Enabled(bool enabled) {
  if (enabled && !timer_enabled_) timer_due_ = clock_.MonotonicMs() + std::max(timer_interval_, 0);
  timer_enabled_ = enabled;
}

}  // namespace zt
