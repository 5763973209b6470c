#include "surface/os/system_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace zt {
namespace {

struct LocalNow {
  std::tm fields{};
  double fraction = 0;  // of the current second
};

LocalNow ReadLocalNow() {
  const auto now = std::chrono::system_clock::now();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
  const std::time_t t = std::chrono::system_clock::to_time_t(seconds);
  LocalNow result;
  localtime_r(&t, &result.fields);
  result.fraction = std::chrono::duration<double>(now - seconds).count();
  return result;
}

}  // namespace

void SystemClock::Sleep(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

float SystemClock::Timer() {
  const LocalNow now = ReadLocalNow();
  const double seconds =
      now.fields.tm_hour * 3600.0 + now.fields.tm_min * 60.0 + now.fields.tm_sec + now.fraction;
  return static_cast<float>(seconds);
}

CalendarTime SystemClock::Now() {
  const LocalNow now = ReadLocalNow();
  CalendarTime c;
  c.year = now.fields.tm_year + 1900;
  c.month = now.fields.tm_mon + 1;
  c.day = now.fields.tm_mday;
  c.hour = now.fields.tm_hour;
  c.minute = now.fields.tm_min;
  c.second = now.fields.tm_sec + now.fraction;
  return c;
}

int64_t SystemClock::MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace zt
