#pragma once
// The pumps, their deadlines, Timer1 and the close path, written once for
// every binding. A binding supplies how to wait for its native events until
// a deadline and how to dispatch one of them; termination signals are taken
// here, and a binding's wait watches QuitSignals::WakeFd() or waits in short
// slices so a signal is seen promptly.
#include <cstdint>

#include "surface/platform.h"

namespace zt {

class EventEngine : public Events {
 public:
  explicit EventEngine(Clock& clock) : clock_(clock) {}

  void SetHandlers(EventHandlers handlers) override { handlers_ = std::move(handlers); }
  void Pump() override;
  void PumpFor(int32_t ms) override;
  void WaitAndPump(int32_t ms) override;
  void SetTimer1Interval(int32_t ms) override;
  void SetTimer1Enabled(bool enabled) override;
  int32_t Timer1Interval() const override { return timer_interval_; }
  bool Timer1Enabled() const override { return timer_enabled_; }

 protected:
  // Waits until `deadline_ms` of the clock at most; returns early, true,
  // once a native event is queued or a quit signal is waiting. Returns at
  // once when one already is.
  virtual bool WaitForNative(int64_t deadline_ms) = 0;
  // Handles one queued native event through the handlers; false when none
  // was queued.
  virtual bool DispatchOne() = 0;
  // Reads what the system holds for the pump that follows; once per pump.
  virtual void Gather() {}
  // Shows what was drawn since the last call.
  virtual void Present() {}

  // The close path: query_unload once; it normally ends the program.
  void CloseRequested();
  const EventHandlers& handlers() const { return handlers_; }
  Clock& clock() { return clock_; }

 private:
  // The deadline shortened to Timer1's next tick.
  int64_t WaitLimit(int64_t deadline) const;
  void FireTimerIfDue();

  Clock& clock_;
  EventHandlers handlers_;
  bool closing_ = false;
  int32_t timer_interval_ = 0;
  bool timer_enabled_ = false;
  int64_t timer_due_ = 0;
};

}  // namespace zt
