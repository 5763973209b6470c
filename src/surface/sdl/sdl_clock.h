#pragma once
// Real time: local wall clock for the timer and calendar, SDL ticks for
// intervals.
#include "surface/platform.h"

namespace zt {

class SdlClock : public Clock {
 public:
  void Sleep(int32_t ms) override;
  float Timer() override;
  CalendarTime Now() override;
  int64_t MonotonicMs() override;
};

}  // namespace zt
