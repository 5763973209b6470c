#include "support/fakes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zt::test {

float FakeClock::Timer() {
  double s = std::fmod(start_seconds + static_cast<double>(now_ms) / 1000.0, 86400.0);
  return static_cast<float>(s);
}

CalendarTime FakeClock::Now() {
  // Adds whole days naively within a month: enough for the doubles' needs.
  double total = start_seconds + static_cast<double>(now_ms) / 1000.0;
  int64_t days = static_cast<int64_t>(std::floor(total / 86400.0));
  double rest = total - static_cast<double>(days) * 86400.0;
  CalendarTime t = start_date;
  t.day += static_cast<int32_t>(days);
  t.hour = static_cast<int32_t>(rest / 3600);
  t.minute = static_cast<int32_t>(std::fmod(rest, 3600.0) / 60);
  t.second = std::fmod(rest, 60.0);
  return t;
}

void FakeEvents::Pump() {
  ++pumps;
  while (pending_clicks > 0) {
    --pending_clicks;
    if (handlers.click) handlers.click();
  }
  while (!pending_keys.empty()) {
    char c = pending_keys.front();
    pending_keys.pop_front();
    if (handlers.key_press) handlers.key_press(c);
  }
}

bool FakeHost::FileExists(const std::string& path) {
  return std::find(existing.begin(), existing.end(), path) != existing.end();
}

int32_t FakeAudio::SndPlaySound(std::string_view name, uint32_t flags) {
  calls.push_back("wave " + std::string(name) + " " + std::to_string(flags));
  return wave_result;
}

uint32_t FakeAudio::MciSendString(std::string_view cmd, char* reply, uint32_t size) {
  calls.push_back(std::string(cmd));
  for (const Answer& a : answers) {
    if (cmd.substr(0, a.prefix.size()) == a.prefix) {
      if (reply && size > 0) {
        size_t n = std::min<size_t>(a.reply.size(), size - 1);
        std::memcpy(reply, a.reply.data(), n);
        reply[n] = '\0';
      }
      return a.result;
    }
  }
  if (reply && size > 0) reply[0] = '\0';
  return 0;
}

}  // namespace zt::test
