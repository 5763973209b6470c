#include "surface/sdl/sdl_clock.h"

#include <SDL.h>

#include <chrono>
#include <ctime>

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

void SdlClock::Sleep(int32_t ms) {
  if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
}

float SdlClock::Timer() {
  const LocalNow now = ReadLocalNow();
  const double seconds =
      now.fields.tm_hour * 3600.0 + now.fields.tm_min * 60.0 + now.fields.tm_sec + now.fraction;
  return static_cast<float>(seconds);
}

CalendarTime SdlClock::Now() {
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

int64_t SdlClock::MonotonicMs() { return static_cast<int64_t>(SDL_GetTicks64()); }

}  // namespace zt
