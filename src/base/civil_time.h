#pragma once
// Proleptic Gregorian calendar arithmetic on local civil time, with no time
// zone: enough to count real days between two calendar readings.
#include <cstdint>

#include "base/types.h"

namespace zt {

// Days from 1970-01-01 to the given date.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct CivilDate {
  int32_t year = 1970, month = 1, day = 1;
};

constexpr CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp + (mp < 10 ? 3 : -9);
  return CivilDate{static_cast<int32_t>(m <= 2 ? yoe + era * 400 + 1 : yoe + era * 400),
                   static_cast<int32_t>(m), static_cast<int32_t>(d)};
}

// Milliseconds since 1970-01-01 00:00 of a calendar reading.
inline int64_t CivilMs(const CalendarTime& t) {
  return (DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60) * 1000 +
         static_cast<int64_t>(t.second * 1000.0);
}

inline CalendarTime CalendarFromMs(int64_t ms) {
  int64_t days = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000;
  const int64_t rest = ms - days * 86400000;
  const CivilDate d = CivilFromDays(days);
  CalendarTime t;
  t.year = d.year;
  t.month = d.month;
  t.day = d.day;
  t.hour = static_cast<int32_t>(rest / 3600000);
  t.minute = static_cast<int32_t>(rest / 60000 % 60);
  t.second = static_cast<double>(rest % 60000) / 1000.0;
  return t;
}

}  // namespace zt
