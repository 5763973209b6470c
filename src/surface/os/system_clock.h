#pragma once
// Real time: the local wall clock for the timer and calendar, the steady
// clock for intervals.
#include "surface/platform.h"

namespace zt {

class SystemClock : public Clock {
 public:
  void Sleep(int32_t ms) override;
  float Timer() override;
  CalendarTime Now() override;
  int64_t MonotonicMs() override;
};

}  // namespace zt
