#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "captions/captions.h"
#include "support/fakes.h"

namespace zt {
namespace {

using test::FakePlatform;

struct Layout {
  int32_t center_x, center_y;
  float layout_scale;
  int32_t twips_per_pixel;
  float x[3], y[3], size[3];
};

class TitleLayout : public testing::TestWithParam<Layout> {};

TEST_P(TitleLayout, ThreeLinesAtFixedOffsetsFromTheCentre) {
  const Layout c = GetParam();
  FakePlatform fake;
  SceneState s;
  s.CenterX = c.center_x;
  s.CenterY = c.center_y;
  s.LayoutScale = c.layout_scale;
  s.TwipsPerPixel = c.twips_per_pixel;
  ShowTitleCard(s, fake.platform);

  const auto& texts = fake.canvas.texts;
  ASSERT_EQ(texts.size(), 3u);
  const char* lines[] = {"ZOLVEN TARIS", "*  Art of KORVANTE  *", "PRODUCED BY QRV"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i].text, lines[i]);
    EXPECT_FLOAT_EQ(texts[i].x, c.x[i]) << i;
    EXPECT_FLOAT_EQ(texts[i].y, c.y[i]) << i;
    EXPECT_FLOAT_EQ(texts[i].size, c.size[i]) << i;
    EXPECT_TRUE(texts[i].bold);
    EXPECT_TRUE(texts[i].italic);
    EXPECT_EQ(texts[i].color, PackRgb(255, 200, 0));
    EXPECT_EQ(texts[i].font, kCaptionFace);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, TitleLayout,
    testing::Values(
        Layout{400, 300, 1.0f, 15, {290, 50, 310}, {160, 240, 400}, {26, 48, 16}},
        Layout{320, 240, 0.75f, 15, {237.5f, 57.5f, 252.5f}, {135, 195, 315}, {19.5f, 36, 12}},
        Layout{400, 300, 1.0f, 12, {290, 50, 310}, {160, 240, 400}, {20, 38, 12}},
        Layout{512, 384, 1.25f, 15, {374.5f, 74.5f, 399.5f}, {209, 309, 509}, {32.5f, 60, 20}}));

// A timer that answers from a script and events whose waits are recorded; a
// wait may be cut short by an event, so time does not move with it.
class ScriptedTimer : public test::FakeClock {
 public:
  std::deque<float> readings;
  int reads = 0;
  float Timer() override {
    ++reads;
    float v = readings.front();
    if (readings.size() > 1) readings.pop_front();
    return v;
  }
};

class RecordingEvents : public test::FakeEvents {
 public:
  using FakeEvents::FakeEvents;
  std::vector<int32_t> wait_ms;
  void WaitAndPump(int32_t ms) override {
    wait_ms.push_back(ms);
    Pump();
  }
};

struct WaitRig {
  FakePlatform fake;
  ScriptedTimer clock;
  RecordingEvents events{clock};
  Platform platform{fake.canvas, events, clock, fake.random, fake.host, fake.audio, nullptr};
  SceneState s;
};

TEST(TitleCardWait, EndsAtTheFirstReadingThreeSecondsOnWaitingForTheRest) {
  WaitRig rig;
  rig.clock.readings = {100.0f, 100.0f, 101.5f, 102.75f, 103.0f, 500.0f};
  ShowTitleCard(rig.s, rig.platform);
  EXPECT_FLOAT_EQ(rig.s.TitleStart, 100.0f);
  EXPECT_EQ(rig.clock.reads, 5);  // a difference of exactly 3 ends it
  const std::vector<int32_t> expected = {3000, 1500, 250};
  EXPECT_EQ(rig.events.wait_ms, expected);
}

TEST(TitleCardWait, WaitsAtLeastOneMillisecond) {
  WaitRig rig;
  rig.clock.readings = {100.0f, 102.9995f, 103.0f};
  ShowTitleCard(rig.s, rig.platform);
  ASSERT_EQ(rig.events.wait_ms.size(), 1u);
  EXPECT_EQ(rig.events.wait_ms[0], 1);
}

TEST(TitleCardWait, AcrossMidnightEndsAboutThreeSecondsAfterTheStart) {
  WaitRig rig;
  rig.clock.readings = {86399.0f, 86399.5f, 0.5f, 1.5f, 2.0f};
  ShowTitleCard(rig.s, rig.platform);
  EXPECT_EQ(rig.clock.reads, 5);
  const std::vector<int32_t> expected = {2500, 1500, 500};
  EXPECT_EQ(rig.events.wait_ms, expected);
}

TEST(TitleCardWait, VirtualClockNeedsOneWaitEvenOverMidnight) {
  for (double start : {43200.0, 86398.5}) {
    FakePlatform fake;
    fake.clock.start_seconds = start;
    SceneState s;
    ShowTitleCard(s, fake.platform);
    const std::vector<int32_t> expected = {3000};
    EXPECT_EQ(fake.events.waits, expected) << start;
    EXPECT_EQ(fake.clock.now_ms, 3000) << start;
  }
}

TEST(TitleCardWait, ClickDuringTheWaitEndsAtOnce) {
  WaitRig rig;
  rig.clock.readings = {100.0f};
  rig.events.pending_clicks = 1;
  rig.events.handlers.click = [] { throw ProgramExit{0}; };
  EXPECT_THROW(ShowTitleCard(rig.s, rig.platform), ProgramExit);
  EXPECT_EQ(rig.events.wait_ms.size(), 1u);
}

}  // namespace
}  // namespace zt
