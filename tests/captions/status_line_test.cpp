#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/scene_observer.h"
#include "captions/captions.h"
#include "captions/status_text.h"
#include "support/fakes.h"

namespace zt {
namespace {

using test::FakePlatform;

// Day numbers since 1970-01-01, worked out independently.
constexpr int64_t kDay1998_01_31 = 10257;
constexpr int64_t kDay1998_03_12 = 10297;
constexpr int64_t kDay2000_02_28 = 11015;
constexpr int64_t kDay2026_12_05 = 20792;
constexpr int64_t kDay2026_12_31 = 20818;

int64_t Epoch(int64_t day, int hour, int minute, int second = 0) {
  return day * 86400 + hour * 3600 + minute * 60 + second;
}

CalendarTime At(int year, int month, int day, int hour, int minute, double second = 0) {
  return CalendarTime{year, month, day, hour, minute, second};
}

float TimerOf(const CalendarTime& t) {
  return static_cast<float>(t.hour * 3600.0 + t.minute * 60.0 + t.second);
}

// The calendar reading that goes with a timer reading on the given date.
CalendarTime AtTimer(int year, int month, int day, float timer) {
  const int whole = static_cast<int>(timer);
  return At(year, month, day, whole / 3600, whole / 60 % 60, timer - whole / 60 * 60);
}

TEST(StatusText, HourMarkerAndDialHour) {
  struct Case {
    int hour;
    const char* marker;
    const char* text;
  };
  for (const Case c :
       {Case{0, " AM", " 0"}, Case{9, " AM", " 9"}, Case{11, " AM", "11"}, Case{12, " PM", "12"},
        Case{13, " PM", " 1"}, Case{22, " PM", "10"}, Case{23, " PM", "11"}}) {
    EXPECT_STREQ(HourMarker(c.hour), c.marker) << c.hour;
    EXPECT_EQ(HourText(DialHour(c.hour)), c.text) << c.hour;
  }
}

TEST(StatusText, MinuteAndDateAlwaysFixedWidth) {
  EXPECT_EQ(MinuteText(0), "00");
  EXPECT_EQ(MinuteText(5), "05");
  EXPECT_EQ(MinuteText(59), "59");
  EXPECT_EQ(DateText(At(1998, 3, 12, 0, 0)), "03-12-1998");
  EXPECT_EQ(DateText(At(2026, 12, 7, 0, 0)), "12-07-2026");
}

TEST(StatusText, CompositionHasNoSeparatorsOfItsOwn) {
  EXPECT_EQ(ComposeStatusLine("03-12-1998", " PM", " 3", "05", 12),
            "* KORVANTE * 03-12-1998 PM 3:05 * Spend 12 minutes *");
  EXPECT_EQ(ComposeStatusLine("03-12-1998", " AM", "11", "30", 1),
            "* KORVANTE * 03-12-1998 AM11:30 * Spend 1 minutes *");
  EXPECT_EQ(ComposeStatusLine("01-01-2027", " AM", " 0", "07", 123456),
            "* KORVANTE * 01-01-2027 AM 0:07 * Spend 123456 minutes *");
}

struct ElapsedCase {
  const char* name;
  int64_t start;
  CalendarTime now;
  int32_t minutes;
};

class ElapsedMinutes : public testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedMinutes, CountsFromTheRealStart) {
  const ElapsedCase c = GetParam();
  EXPECT_EQ(ElapsedMinutesSince(c.start, c.now, TimerOf(c.now)), c.minutes) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElapsedMinutes,
    testing::Values(
        ElapsedCase{"89.5 s rounds to 90", Epoch(kDay2026_12_05, 10, 0),
                    At(2026, 12, 5, 10, 1, 29.5), 1},
        ElapsedCase{"59.5 s rounds up to a minute", Epoch(kDay2026_12_05, 10, 0),
                    At(2026, 12, 5, 10, 0, 59.5), 1},
        ElapsedCase{"59.4 s", Epoch(kDay2026_12_05, 10, 0), At(2026, 12, 5, 10, 0, 59.4), 0},
        ElapsedCase{"one midnight", Epoch(kDay2026_12_05, 23, 50), At(2026, 12, 6, 0, 10), 20},
        ElapsedCase{"two midnights", Epoch(kDay2026_12_05, 10, 0), At(2026, 12, 7, 9, 0), 2820},
        ElapsedCase{"into a shorter month", Epoch(kDay1998_01_31, 10, 0), At(1998, 2, 28, 9, 0),
                    40260},
        ElapsedCase{"same day next month, an hour earlier", Epoch(kDay1998_03_12, 10, 0),
                    At(1998, 4, 12, 9, 0), 44580},
        ElapsedCase{"new year", Epoch(kDay2026_12_31, 23, 50), At(2027, 1, 1, 0, 10), 20},
        ElapsedCase{"leap day", Epoch(kDay2000_02_28, 12, 0), At(2000, 3, 1, 12, 0), 2880},
        ElapsedCase{"clock set back", Epoch(kDay2026_12_05, 10, 0), At(2026, 12, 5, 9, 0), 0}),
    [](const testing::TestParamInfo<ElapsedCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(ElapsedMinutes, MidnightBetweenTheDateAndTheTimerReading) {
  const int64_t start = Epoch(kDay2026_12_05, 23, 50);
  // The date still says the 5th, the timer already counts the 6th.
  EXPECT_EQ(ElapsedMinutesSince(start, At(2026, 12, 5, 23, 59, 59.9), 600.25f), 20);
  EXPECT_EQ(ElapsedMinutesSince(start, At(2026, 12, 6, 0, 0, 0.1), 86399.4f), 9);
}

TEST(ElapsedMinutes, SameAsTheOneMidnightRuleOnTheStartDayAndTheNext) {
  const int32_t start_seconds = 36000;
  const int64_t start = Epoch(kDay2026_12_05, 10, 0);
  for (float timer : {36000.0f, 36000.5f, 36029.5f, 36030.5f, 36089.5f, 36090.5f, 36119.5f,
                      40000.25f, 86399.5f}) {
    const int64_t seconds = static_cast<int64_t>(std::nearbyint(timer - start_seconds));
    EXPECT_EQ(ElapsedMinutesSince(start, AtTimer(2026, 12, 5, timer), timer),
              static_cast<int32_t>(seconds / 60))
        << timer;
  }
  for (float timer : {0.0f, 0.5f, 29.5f, 100.5f, 35999.5f, 86399.5f}) {
    const int64_t seconds = static_cast<int64_t>(std::nearbyint(timer + (86400 - start_seconds)));
    EXPECT_EQ(ElapsedMinutesSince(start, AtTimer(2026, 12, 6, timer), timer),
              static_cast<int32_t>(seconds / 60))
        << timer;
  }
}

// A calendar that stands still and records the order of its readings.
class StillClock : public Clock {
 public:
  CalendarTime now;
  std::vector<std::string> reads;
  void Sleep(int32_t) override {}
  float Timer() override {
    reads.push_back("timer");
    return TimerOf(now);
  }
  CalendarTime Now() override {
    reads.push_back("now");
    return now;
  }
  int64_t MonotonicMs() override { return 0; }
};

class RecordingObserver : public SceneObserver {
 public:
  std::vector<std::string> texts;
  float x = -1, y = -1;
  void OnStatusLine(const std::string& text, float at_x, float at_y) override {
    texts.push_back(text);
    x = at_x;
    y = at_y;
  }
};

struct Rig {
  FakePlatform fake;
  StillClock clock;
  RecordingObserver observer;
  Platform platform{fake.canvas, fake.events, clock, fake.random, fake.host, fake.audio, &observer};
  SceneState s;
  Rig() {
    s.TwipsPerPixel = 15;
    s.LayoutScale = 1;
    s.ScreenHeight = 600;
    s.CaptionRed = 10;
    s.CaptionGreen = 20;
    s.CaptionBlue = 254;
    s.StartEpochSeconds = Epoch(kDay1998_03_12, 14, 53);
    clock.now = At(1998, 3, 12, 15, 5);
  }
};

TEST(PrintStatusLine, PrintsTheLineOnceAndTellsTheObserver) {
  Rig rig;
  rig.fake.random.script = {0.5f};
  PrintStatusLine(rig.s, rig.platform);
  const auto& texts = rig.fake.canvas.texts;
  ASSERT_EQ(texts.size(), 1u);
  const std::string line = "* KORVANTE * 03-12-1998 PM 3:05 * Spend 12 minutes *";
  EXPECT_EQ(texts[0].text, line);
  EXPECT_EQ(rig.s.ElapsedMinutes, 12);
  EXPECT_TRUE(texts[0].bold);
  EXPECT_TRUE(texts[0].italic);
  EXPECT_EQ(texts[0].font, kCaptionFace);
  EXPECT_EQ(texts[0].color, PackRgb(10, 20, 254));
  EXPECT_FLOAT_EQ(texts[0].size, 20);
  EXPECT_FLOAT_EQ(texts[0].x, 10);
  EXPECT_FLOAT_EQ(texts[0].y, 295);
  EXPECT_EQ(rig.observer.texts, std::vector<std::string>{line});
  EXPECT_FLOAT_EQ(rig.observer.x, 10);
  EXPECT_FLOAT_EQ(rig.observer.y, 295);
  const std::vector<std::string> order = {"now", "now", "timer", "now", "now"};
  EXPECT_EQ(rig.clock.reads, order);
  EXPECT_EQ(rig.fake.random.draws, 1);
  EXPECT_EQ(rig.fake.events.pumps, 0);
}

TEST(PrintStatusLine, ClockFacesAroundTheDay) {
  struct Case {
    int hour, minute;
    const char* time;
  };
  for (const Case c : {Case{0, 7, " AM 0:07"}, Case{11, 30, " AM11:30"}, Case{12, 0, " PM12:00"},
                       Case{13, 5, " PM 1:05"}, Case{23, 59, " PM11:59"}}) {
    Rig rig;
    rig.clock.now = At(1998, 3, 12, c.hour, c.minute);
    rig.s.StartEpochSeconds = Epoch(kDay1998_03_12, 0, 0);
    PrintStatusLine(rig.s, rig.platform);
    ASSERT_EQ(rig.fake.canvas.texts.size(), 1u);
    const int minutes = c.hour * 60 + c.minute;
    EXPECT_EQ(rig.fake.canvas.texts[0].text, std::string("* KORVANTE * 03-12-1998") + c.time +
                                                 " * Spend " + std::to_string(minutes) +
                                                 " minutes *");
  }
}

TEST(PrintStatusLine, SizeAndLeftEdgeFollowTheLayout) {
  struct Case {
    int32_t twips;
    float scale;
    float size, x;
  };
  for (const Case c : {Case{15, 1.0f, 20, 10}, Case{12, 1.0f, 16, 10}, Case{15, 0.75f, 15, 7.5f},
                       Case{15, 1.25f, 25, 12.5f}}) {
    Rig rig;
    rig.s.TwipsPerPixel = c.twips;
    rig.s.LayoutScale = c.scale;
    PrintStatusLine(rig.s, rig.platform);
    ASSERT_EQ(rig.fake.canvas.texts.size(), 1u);
    EXPECT_FLOAT_EQ(rig.fake.canvas.texts[0].size, c.size) << c.twips << " " << c.scale;
    EXPECT_FLOAT_EQ(rig.fake.canvas.texts[0].x, c.x) << c.twips << " " << c.scale;
  }
}

TEST(PrintStatusLine, HeightStaysOnScreen) {
  struct Case {
    float r;
    float y;
  };
  for (const Case c : {Case{0.0f, 10}, Case{std::nextafter(1.0f, 0.0f), 579}, Case{0.25f, 152}}) {
    Rig rig;
    rig.fake.random.script = {c.r};
    PrintStatusLine(rig.s, rig.platform);
    ASSERT_EQ(rig.fake.canvas.texts.size(), 1u);
    EXPECT_FLOAT_EQ(rig.fake.canvas.texts[0].y, c.y) << c.r;
    EXPECT_EQ(rig.fake.random.draws, 1);
  }
}

}  // namespace
}  // namespace zt
