#pragma once
// The pieces of the status line, kept free of the platform so they can be
// checked one by one.
#include <cstdint>
#include <string>

#include "surface/platform.h"

namespace zt {

// " AM" before noon, " PM" from noon on.
const char* HourMarker(int32_t hour);
// The hour on a 12-hour dial where the hour after midnight is 0, not 12.
int32_t DialHour(int32_t hour);
// Two characters: a space and the digit below 10, else the two digits.
std::string HourText(int32_t dial_hour);
// Always two digits.
std::string MinuteText(int32_t minute);
// MM-DD-YYYY.
std::string DateText(const CalendarTime& t);
std::string ComposeStatusLine(const std::string& date, const char* marker,
                              const std::string& hour_text, const std::string& minute_text,
                              int32_t elapsed_minutes);

// Whole minutes from the start instant (local civil seconds since 1970-01-01)
// to the moment given by the calendar date `today` and the timer reading of
// that day. Counts every midnight, never goes below 0; seconds are rounded
// (halves to even) before the minutes are truncated.
int32_t ElapsedMinutesSince(int64_t start_epoch_seconds, const CalendarTime& today, float timer);

}  // namespace zt
