// A long headless run: ten thousand figures, days of virtual time. Memory
// must stay flat once the caches are warm, and every status line must show
// the clock's own date and time and the minutes since the real start, across
// every midnight of the run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <tuple>

#include "app/form1.h"
#include "base/civil_time.h"
#include "base/scene_observer.h"
#include "support/sanitizer.h"
#include "surface/headless/headless.h"
#include "surface/random/random.h"
#include "surface/text/font_rasterizer.h"

namespace zt {
namespace {

using test::kAddressSanitizer;

int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = -1;
  statm >> size >> resident;
  return resident < 0 ? -1 : resident * static_cast<int64_t>(::sysconf(_SC_PAGESIZE));
}

constexpr int64_t kFigures = 10000;
constexpr int64_t kWarmFigures = 100;

class SoakObserver : public SceneObserver {
 public:
  SoakObserver(VirtualClock& clock, CalendarTime start) : clock_(clock), start_(start) {}

  void OnStatusLine(const std::string& text, float, float) override {
    ++status_lines_;
    static const std::regex line(
        R"(\* KORVANTE \* (\d\d)-(\d\d)-(\d{4}) (AM|PM)([ 0-9][0-9]):(\d\d) \* Spend (-?\d+) minutes \*)");
    std::smatch m;
    if (!std::regex_match(text, m, line)) {
      ADD_FAILURE() << "malformed status line: " << text;
      return;
    }
    const CalendarTime now = clock_.Now();
    const int month = std::stoi(m[1]), day = std::stoi(m[2]), year = std::stoi(m[3]);
    EXPECT_EQ(std::tie(year, month, day), std::tie(now.year, now.month, now.day)) << text;
    const int dial = std::stoi(m[5]);
    EXPECT_EQ(m[4] == "PM" ? (dial == 12 ? 12 : dial + 12) : dial, now.hour) << text;
    EXPECT_EQ(std::stoi(m[6]), now.minute) << text;
    // Whole minutes of real time since the start; the start and the timer
    // are whole-second and single-precision readings, hence the slack.
    const int64_t ms = CivilMs(now) - CivilMs(start_);
    const int64_t minutes = std::stoll(m[7]);
    EXPECT_GE(minutes, (ms - 1000) / 60000) << text;
    EXPECT_LE(minutes, (ms + 1000) / 60000) << text;
    EXPECT_GE(minutes, last_minutes_) << text;
    last_minutes_ = minutes;
    dates_.insert(year * 10000 + month * 100 + day);
  }

  void OnFigureDrawn(const SceneState&) override {
    ++figures_;
    const int64_t rss = ResidentBytes();
    if (figures_ == kWarmFigures) warm_rss_ = rss;
    if (figures_ > kWarmFigures) peak_rss_ = std::max(peak_rss_, rss);
    if (figures_ >= kFigures) throw ProgramExit{0};
  }

  int64_t figures_ = 0;
  int64_t status_lines_ = 0;
  int64_t last_minutes_ = 0;
  int64_t warm_rss_ = 0;
  int64_t peak_rss_ = 0;
  std::set<int> dates_;

 private:
  VirtualClock& clock_;
  CalendarTime start_;
};

TEST(RobustnessSoak, TenThousandFiguresKeepMemoryFlatAndCountMinutesAcrossDays) {
  ASSERT_GT(ResidentBytes(), 0) << "/proc/self/statm is not readable";
  // Late on the 30th of December: the run crosses the year's end as well.
  const CalendarTime start{2026, 12, 30, 22, 0, 0.0};
  VirtualClock clock(start);
  HeadlessEvents events(clock);
  FontRasterizer text;
  CanvasConfig config;
  config.width = 800;
  config.height = 600;
  config.twips_per_pixel = 15;
  config.bits_per_pixel = 32;
  LayeredCanvas canvas(config, &text);
  SeededRandom random(clock, 20261230);
  HeadlessHost host;
  SilentAudio audio;
  SoakObserver observer(clock, start);
  Platform platform{canvas, events, clock, random, host, audio, &observer};
  SceneState state;
  FormOptions options;
  options.music = false;
  options.single_instance = false;
  Form1 form(state, platform, options);
  int status = -1;
  try {
    form.Main();
    form.Form_Activate();
  } catch (const ProgramExit& exit) {
    status = exit.status;
  }
  ASSERT_EQ(status, 0);
  ASSERT_EQ(observer.figures_, kFigures);

  const double days = static_cast<double>(clock.MonotonicMs()) / 86400000.0;
  RecordProperty("virtual_days", std::to_string(days));
  EXPECT_GT(days, 2.5);
  // One status line on most backdrops: thousands of them over the run.
  EXPECT_GT(observer.status_lines_, kFigures / 10);
  EXPECT_GE(observer.dates_.size(), 4u);
  EXPECT_TRUE(observer.dates_.count(20270101)) << "no status line on New Year's Day";
  EXPECT_GT(observer.last_minutes_, 3 * 1440);

  const int64_t growth = observer.peak_rss_ - observer.warm_rss_;
  std::printf(
      "resident after %lld figures: %lld KiB, peak after: %lld KiB (growth %lld KiB); "
      "%.2f virtual days\n",
      static_cast<long long>(kWarmFigures), static_cast<long long>(observer.warm_rss_ / 1024),
      static_cast<long long>(observer.peak_rss_ / 1024), static_cast<long long>(growth / 1024),
      days);
  if (kAddressSanitizer) {
    // The sanitizer's quarantine holds freed blocks back on purpose, so the
    // resident size says nothing here; the normal build checks it.
    return;
  }
  EXPECT_LT(growth, 1 << 20) << "resident memory grew by " << growth << " bytes";
}

}  // namespace
}  // namespace zt
