#include "captions/status_text.h"

#include <cstdio>

#include "base/civil_time.h"
#include "base/numeric.h"

namespace zt {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

std::string LastTwo(const std::string& s) { return s.size() <= 2 ? s : s.substr(s.size() - 2); }

}  // namespace

const char* HourMarker(int32_t hour) { return hour < 12 ? " AM" : " PM"; }

int32_t DialHour(int32_t hour) { return hour > 12 ? hour - 12 : hour; }

std::string HourText(int32_t dial_hour) {
  std::string text(" ");
  text += std::to_string(dial_hour);
  return LastTwo(text);
}

std::string MinuteText(int32_t minute) {
  std::string text("00");
  text += std::to_string(minute);
  return LastTwo(text);
}

std::string DateText(const CalendarTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", static_cast<int>(t.month),
                static_cast<int>(t.day), static_cast<int>(t.year));
  return text;
}

std::string ComposeStatusLine(const std::string& date, const char* marker,
                              const std::string& hour_text, const std::string& minute_text,
                              int32_t elapsed_minutes) {
  return "* KORVANTE * " + date + marker + hour_text + ":" + minute_text + " * Spend " +
         std::to_string(elapsed_minutes) + " minutes *";
}

int32_t ElapsedMinutesSince(int64_t start_epoch_seconds, const CalendarTime& today, float timer) {
  int64_t day = DaysFromCivil(today.year, today.month, today.day);
  // The date and the timer are read one after the other; if midnight fell
  // between them, take the timer's day.
  const double date_seconds = today.hour * 3600.0 + today.minute * 60.0 + today.second;
  const double half_day = kSecondsPerDay / 2.0;
  if (static_cast<double>(timer) < date_seconds - half_day) ++day;
  if (static_cast<double>(timer) > date_seconds + half_day) --day;

  // The whole seconds first, then the timer in one addition: on the day of the
  // start and the day after this is exactly timer - start (+ 86400).
  const int64_t whole = day * kSecondsPerDay - start_epoch_seconds;
  double seconds = static_cast<double>(timer) + static_cast<double>(whole);
  if (seconds < 0) seconds = 0;
  return static_cast<int32_t>(RoundEven(seconds) / 60);
}

}  // namespace zt
