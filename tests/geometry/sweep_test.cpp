#include "geometry/sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "figure_fixture.h"
#include "geometry/figure_rules.h"
#include "geometry/measure.h"

namespace zt {
namespace {

using test::FakePlatform;
using test::SpokeRecorder;

struct Figure {
  FakePlatform fake;
  SpokeRecorder recorder;
  SceneState s;
  Figure() {
    fake.platform.observer = &recorder;
    test::SetScreen(s, 800, 600);
    test::SetView(s, 30, 20);
    s.ZFrequency = 4;
    s.SpinRate = 2;
    s.StepDegrees = 0.5f;
    s.StepDelay = 40;
  }
  void Reverse() { DrawFigureReverse(s, fake.platform); }
  void Forward() { DrawFigureForward(s, fake.platform); }
};

struct StepCase {
  float step;
  size_t count;
};

class SweepSteps : public ::testing::TestWithParam<StepCase> {};

// The single-precision angle accumulates its rounding; the counts hold for
// every start angle in both directions.
TEST_P(SweepSteps, CountIsFixedForEveryStartAngle) {
  const StepCase c = GetParam();
  for (int16_t start = 0; start < 360; ++start) {
    for (bool reverse : {true, false}) {
      Figure f;
      f.s.LayoutScale = 0;  // one-pixel spokes keep this quick
      f.s.DepthBuffer = DepthGrid{};
      f.s.StepDegrees = c.step;
      f.s.SweepStart = start;
      reverse ? f.Reverse() : f.Forward();
      const auto& spokes = f.recorder.spokes;
      ASSERT_EQ(spokes.size(), c.count) << "start " << start << (reverse ? " reverse" : " forward");
      const float first = reverse ? start + 360.0f : start;
      const float last_bound = reverse ? start : start + 360.0f;
      ASSERT_EQ(spokes.front().sweep_angle, first);
      // The last sample lies on or just inside the bound, within a step.
      const float short_by = std::fabs(spokes.back().sweep_angle - last_bound);
      ASSERT_LT(short_by, c.step) << start;
      ASSERT_EQ(f.fake.events.waits.size(), c.count);
    }
  }
  // The measurement walks 0..360 the same way.
  Figure f;
  f.s.StepDegrees = c.step;
  MeasureFigure(f.s, f.fake.platform);
  float angle = 0;
  size_t steps = 0;
  while (angle <= 360.0f) {
    angle += c.step;
    ++steps;
  }
  EXPECT_EQ(steps, c.count);
  EXPECT_EQ(f.s.SweepAngle, angle);
}

INSTANTIATE_TEST_SUITE_P(Steps, SweepSteps,
                         ::testing::Values(StepCase{0.3f, 1201}, StepCase{0.5f, 721},
                                           StepCase{0.7f, 515}));

TEST(Sweep, WaitsTheStepDelayOnTheEventQueueAfterEverySpoke) {
  Figure f;
  f.s.StepDelay = 30;
  f.Forward();
  const auto& waits = f.fake.events.waits;
  ASSERT_EQ(waits.size(), 721u);
  EXPECT_TRUE(std::all_of(waits.begin(), waits.end(), [](int32_t w) { return w == 30; }));
  // Two plain pumps per step besides the wait's own.
  EXPECT_EQ(f.fake.events.pumps, 3 * 721);
  EXPECT_TRUE(f.fake.clock.sleeps.empty());
}

TEST(Sweep, AClickEndsItBeforeTheNextSpoke) {
  Figure f;
  int spokes_at_click = -1;
  f.fake.events.handlers.click = [&] {
    spokes_at_click = static_cast<int>(f.recorder.spokes.size());
    throw ProgramExit{0};
  };
  f.fake.events.pending_clicks = 1;
  EXPECT_THROW(f.Reverse(), ProgramExit);
  EXPECT_EQ(spokes_at_click, 0);
  EXPECT_TRUE(f.fake.canvas.pixels.empty());
}

TEST(Sweep, PicksThePlotterOfTheDisplayMode) {
  for (int16_t mode : {0, 1}) {
    Figure f;
    f.s.PaletteMode = mode;
    f.s.ApiResult = 5;
    f.Forward();
    ASSERT_FALSE(f.fake.canvas.pixels.empty());
    const bool direct = mode == 0;
    EXPECT_TRUE(std::all_of(f.fake.canvas.pixels.begin(), f.fake.canvas.pixels.end(),
                            [direct](const auto& w) { return w.direct == direct; }));
    EXPECT_EQ(f.s.ApiResult, direct ? 1 : 5);
  }
}

TEST(Sweep, DepthDrivesTheChannelOfTheScheme) {
  Figure f;
  f.s.ColorScheme = 1;
  f.s.LineRed = 7;
  f.s.LineBlue = 9;
  f.Forward();
  for (const auto& spoke : f.recorder.spokes) {
    ASSERT_EQ(spoke.green, DepthLevel(spoke.depth));
    ASSERT_EQ(spoke.red, 7);
    ASSERT_EQ(spoke.blue, 9);
  }
}

TEST(Sweep, PaletteModeEvensEveryChannelAtEveryStep) {
  Figure f;
  f.s.PaletteMode = 1;
  f.s.ColorScheme = 0;
  f.s.LineGreen = 37;
  f.s.LineBlue = 255;
  // A view in which some points are near enough to reach 255.
  test::SetView(f.s, 30, -45);
  f.s.ZFrequency = 4;
  f.Reverse();
  bool saw_cap = false;
  for (const auto& spoke : f.recorder.spokes) {
    ASSERT_EQ(spoke.green, 38);
    ASSERT_EQ(spoke.blue, 254);
    ASSERT_EQ(spoke.red % 2, 0);
    if (DepthLevel(spoke.depth) == 255) {
      saw_cap = true;
      ASSERT_EQ(spoke.red, 254);
    }
  }
  EXPECT_TRUE(saw_cap);
  for (const auto& w : f.fake.canvas.pixels) ASSERT_FALSE(w.direct);
}

TEST(Sweep, SchemeThreeDriftsOnTheFirstStepOnlyWhenReversing) {
  for (bool reverse : {true, false}) {
    Figure f;
    f.s.ColorScheme = 3;
    f.s.SweepStart = 123;
    f.s.LastColorStep = 123;
    f.s.LineRed = 100;
    f.s.LineGreen = 150;
    f.s.LineBlue = 200;
    reverse ? f.Reverse() : f.Forward();
    const auto& first = f.recorder.spokes.front();
    EXPECT_EQ(first.red, reverse ? 99 : 100);
    EXPECT_EQ(first.blue, reverse ? 201 : 200);
    // One unit per whole degree crossed, swinging inside 60..240: a reverse
    // sweep drifts at 483 and on every whole angle down to 123, a forward one
    // on every whole angle from 124 up to 483.
    int drifts = 0;
    int16_t previous = 150;
    for (const auto& spoke : f.recorder.spokes) {
      ASSERT_GE(spoke.green, 60);
      ASSERT_LE(spoke.green, 240);
      if (spoke.green != previous) ++drifts;
      previous = spoke.green;
    }
    EXPECT_EQ(drifts, reverse ? 361 : 360);
  }
}

TEST(Sweep, DriftFlagsCarryOverFromFigureToFigure) {
  Figure f;
  f.s.ColorScheme = 3;
  f.s.LineGreen = 70;
  f.s.GreenDir = 1;  // falling, left from an earlier figure
  f.s.LastColorStep = 0;
  f.Forward();
  EXPECT_EQ(f.recorder.spokes[2].green, 69);
  // It turns at 60 and comes back up.
  EXPECT_EQ(std::min_element(f.recorder.spokes.begin(), f.recorder.spokes.end(),
                             [](const auto& a, const auto& b) { return a.green < b.green; })
                ->green,
            60);
}

TEST(Sweep, PaletteDriftStaysOnMultiplesOfThree) {
  Figure f;
  f.s.PaletteMode = 1;
  f.s.ColorScheme = 3;
  f.s.SweepStart = 99;
  f.s.LastColorStep = 99;
  f.s.LineRed = 63;
  f.s.LineGreen = 69;
  f.s.LineBlue = 240;
  f.Forward();
  for (const auto& spoke : f.recorder.spokes) {
    ASSERT_EQ(spoke.red % 3, 0);
    ASSERT_EQ(spoke.green % 3, 0);
    ASSERT_EQ(spoke.blue % 3, 0);
    ASSERT_GE(spoke.blue, 63);
    ASSERT_LE(spoke.blue, 243);
  }
  // From 99 to 459 the whole angle lands on 120 new multiples of 3.
  int drifts = 0;
  int16_t previous = 63;
  for (const auto& spoke : f.recorder.spokes) {
    if (spoke.red != previous) ++drifts;
    previous = spoke.red;
  }
  EXPECT_EQ(drifts, 120);
}

TEST(PointStep, UsesHeightAsDepthWhenSteep) {
  SceneState s;
  test::SetScreen(s, 800, 600);
  test::SetView(s, 90, 0);
  s.ZFrequency = 5;
  s.SweepAngle = 37.5f;
  EXPECT_EQ(PointStep(s), s.RotatedY);
  EXPECT_EQ(s.SegmentRadius, ToSingle((double{s.RotatedY} + 200.0) / 4.0 + 1.0));
  test::SetView(s, 0, 0);
  EXPECT_EQ(PointStep(s), s.RotatedZ);
  EXPECT_EQ(s.CurveX, ToSingle(130.0 * std::sin(2.0 * 37.5 * kDegreeFactor)));
  EXPECT_EQ(s.CurveZ, ToSingle(100.0 * std::sin(5.0 * 37.5 * kDegreeFactor)));
}

TEST(PointStep, SegmentRadiusNeverBelowOne) {
  SceneState s;
  test::SetScreen(s, 800, 600);
  for (float scale : {0.0f, -1.0f, 1e-6f}) {
    s.LayoutScale = scale;
    for (int i = 0; i < 720; ++i) {
      s.SweepAngle = i * 0.5f;
      PointStep(s);
      ASSERT_GE(s.SegmentRadius, 1.0f);
    }
  }
}

TEST(SpokeOffsets, EndsLieOppositeAtTheSpinAngle) {
  SceneState s;
  s.SegmentRadius = 10;
  s.SpinRate = 3;
  s.SweepAngle = 30;
  SpokeOffsets(s);
  EXPECT_EQ(s.SpinAngle, 90);
  EXPECT_EQ(s.SpinAngleOpposite, 270);
  EXPECT_NEAR(s.SpokeDX1, 0, 1e-4);
  EXPECT_NEAR(s.SpokeDY1, 10, 1e-4);  // downwards on the screen
  EXPECT_NEAR(s.SpokeDX2, 0, 1e-4);
  EXPECT_NEAR(s.SpokeDY2, -10, 1e-4);
}

// Every spoke end keeps about 2 % of the width from either side, on every
// layout, so no column of a real figure falls off the screen.
TEST(SpokeOffsets, SpokeEndsKeepAHorizontalMargin) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> tilt(0, 359), turn(-90, 89), zpick(0, 3), spin(0, 5);
  const int16_t zf[] = {1, 1, 4, 5};
  const int16_t spins[] = {1, 2, 3, 4, 8, 12};
  for (int32_t width : {640, 800, 1024, 1280, 1920}) {
    SceneState s;
    test::SetScreen(s, width, width * 3 / 4);
    double min_col = 1e9, max_col = -1e9;
    for (int figure = 0; figure < 60; ++figure) {
      test::SetView(s, tilt(rng), turn(rng));
      s.ZFrequency = zf[zpick(rng)];
      s.SpinRate = spins[spin(rng)];
      for (int i = 0; i < 721; ++i) {
        s.SweepAngle = i * 0.5f;
        PointStep(s);
        SpokeOffsets(s);
        for (float dx : {s.SpokeDX1, s.SpokeDX2}) {
          const double col = std::floor(double{s.ProjX} + double{dx});
          min_col = std::min(min_col, col);
          max_col = std::max(max_col, col);
        }
      }
    }
    const double margin = 0.02 * width;
    EXPECT_GE(min_col, std::floor(margin)) << width;
    EXPECT_LE(max_col, width - std::floor(margin)) << width;
  }
}

}  // namespace
}  // namespace zt
