#include "geometry/figure_rules.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

TEST(DepthLevel, RoundsHalvesToEvenAndCaps) {
  EXPECT_EQ(DepthLevel(0.0f), 140);
  EXPECT_EQ(DepthLevel(-50.0f), 105);
  EXPECT_EQ(DepthLevel(190.0f), 255);  // 273 capped
  EXPECT_EQ(DepthLevel(-192.09f), 6);
  EXPECT_EQ(LevelFromProduct(100.5), 100);
  EXPECT_EQ(LevelFromProduct(101.5), 102);
  EXPECT_EQ(LevelFromProduct(100.500001), 101);
  EXPECT_EQ(LevelFromProduct(255.4), 255);
  EXPECT_EQ(LevelFromProduct(255.6), 255);
  EXPECT_EQ(LevelFromProduct(-0.5), 0);
  EXPECT_EQ(LevelFromProduct(-7), 0);
}

TEST(ApplyDepthColor, SetsOnlyTheChannelOfTheScheme) {
  struct Case {
    int16_t scheme, red, green, blue;
  };
  for (const Case& c : {Case{0, 140, 2, 3}, Case{1, 1, 140, 3}, Case{2, 1, 2, 140},
                        Case{3, 1, 2, 3}, Case{7, 1, 2, 3}}) {
    SceneState s;
    s.ColorScheme = c.scheme;
    s.Depth = 0;
    s.LineRed = 1;
    s.LineGreen = 2;
    s.LineBlue = 3;
    ApplyDepthColor(s);
    EXPECT_EQ(s.LineRed, c.red) << c.scheme;
    EXPECT_EQ(s.LineGreen, c.green) << c.scheme;
    EXPECT_EQ(s.LineBlue, c.blue) << c.scheme;
  }
}

TEST(AdjustForPalette, MakesEveryChannelEvenWithin0To254) {
  SceneState s;
  s.LineRed = 255;
  s.LineGreen = 37;
  s.LineBlue = 38;
  AdjustForPalette(s);
  EXPECT_EQ(s.LineRed, 254);
  EXPECT_EQ(s.LineGreen, 38);
  EXPECT_EQ(s.LineBlue, 38);
  s.LineRed = -3;
  s.LineGreen = 0;
  s.LineBlue = 253;
  AdjustForPalette(s);
  EXPECT_EQ(s.LineRed, 0);
  EXPECT_EQ(s.LineGreen, 0);
  EXPECT_EQ(s.LineBlue, 254);
}

struct DriftCase {
  const char* name;
  int16_t palette;
  SweepDirection direction;
  int16_t red_dir, green_dir, blue_dir;
  int16_t red, green, blue;  // after one drift from 99 each
};

class DriftDirections : public ::testing::TestWithParam<DriftCase> {};

TEST_P(DriftDirections, FlagsMeanWhatTheModeAndSweepSay) {
  const DriftCase& c = GetParam();
  SceneState s;
  s.PaletteMode = c.palette;
  s.RedDir = c.red_dir;
  s.GreenDir = c.green_dir;
  s.BlueDir = c.blue_dir;
  s.LineRed = s.LineGreen = s.LineBlue = 99;
  s.LastColorStep = 10;
  s.SweepAngle = 12.4f;
  DriftColor(s, c.direction);
  EXPECT_EQ(s.LastColorStep, 12);
  EXPECT_EQ(s.LineRed, c.red);
  EXPECT_EQ(s.LineGreen, c.green);
  EXPECT_EQ(s.LineBlue, c.blue);
  // Away from the turn values the flags stay.
  EXPECT_EQ(s.RedDir, c.red_dir);
  EXPECT_EQ(s.GreenDir, c.green_dir);
  EXPECT_EQ(s.BlueDir, c.blue_dir);
}

constexpr auto kRev = SweepDirection::kReverse;
constexpr auto kFwd = SweepDirection::kForward;
INSTANTIATE_TEST_SUITE_P(
    Modes, DriftDirections,
    ::testing::Values(DriftCase{"DirectReverse0", 0, kRev, 0, 0, 0, 98, 100, 100},
                      DriftCase{"DirectReverse1", 0, kRev, 1, 1, 1, 100, 98, 98},
                      DriftCase{"DirectForward0", 0, kFwd, 0, 0, 0, 100, 100, 98},
                      DriftCase{"DirectForward1", 0, kFwd, 1, 1, 1, 98, 98, 100},
                      DriftCase{"PaletteReverse0", 1, kRev, 0, 0, 0, 102, 102, 96},
                      DriftCase{"PaletteForward0", 1, kFwd, 0, 0, 0, 102, 102, 96},
                      DriftCase{"PaletteForward1", 1, kFwd, 1, 1, 1, 96, 96, 102}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DriftColor, DirectColourTurnsAtSixtyAndTwoForty) {
  SceneState s;
  s.LineRed = 100;
  s.LineGreen = 239;
  s.LineBlue = 61;
  s.BlueDir = 0;  // forward: blue falls
  s.SweepAngle = 5.5f;
  s.LastColorStep = 5;
  DriftColor(s, SweepDirection::kForward);
  EXPECT_EQ(s.LineRed, 100);  // same whole angle: no drift
  s.SweepAngle = 6.0f;
  DriftColor(s, SweepDirection::kForward);
  EXPECT_EQ(s.LineRed, 101);
  EXPECT_EQ(s.LineGreen, 240);
  EXPECT_EQ(s.GreenDir, 1);
  EXPECT_EQ(s.LineBlue, 60);
  EXPECT_EQ(s.BlueDir, 1);
  s.SweepAngle = 7.0f;
  DriftColor(s, SweepDirection::kForward);
  EXPECT_EQ(s.LineGreen, 239);
  EXPECT_EQ(s.LineBlue, 61);
  EXPECT_EQ(s.GreenDir, 1);
  EXPECT_EQ(s.BlueDir, 1);
}

TEST(DriftColor, ReverseDirectRedFallsOnZero) {
  SceneState s;
  s.LineRed = 100;
  s.LastColorStep = 300;
  s.SweepAngle = 660.0f;  // first step of a reverse sweep from 300
  DriftColor(s, SweepDirection::kReverse);
  EXPECT_EQ(s.LineRed, 99);
  s.LineRed = 61;
  s.SweepAngle = 659.7f;
  DriftColor(s, SweepDirection::kReverse);
  EXPECT_EQ(s.LineRed, 60);
  EXPECT_EQ(s.RedDir, 1);  // 1 now means rising in this sweep
}

TEST(DriftColor, PaletteDriftsByThreeOnMultiplesOfThree) {
  SceneState s;
  s.PaletteMode = 1;
  s.LineRed = 237;
  s.LineGreen = 240;
  s.LineBlue = 66;  // falls on 0
  s.LastColorStep = 30;
  for (float angle : {30.9f, 31.0f, 32.5f}) {
    s.SweepAngle = angle;
    DriftColor(s, SweepDirection::kReverse);
    EXPECT_EQ(s.LineRed, 237) << angle;
    EXPECT_EQ(s.LastColorStep, 30);
  }
  s.SweepAngle = 33.2f;
  DriftColor(s, SweepDirection::kReverse);
  EXPECT_EQ(s.LastColorStep, 33);
  EXPECT_EQ(s.LineRed, 240);
  EXPECT_EQ(s.RedDir, 1);
  EXPECT_EQ(s.LineGreen, 243);  // a channel starting on a turn value overshoots once
  EXPECT_EQ(s.GreenDir, 1);
  EXPECT_EQ(s.LineBlue, 63);
  EXPECT_EQ(s.BlueDir, 1);
  s.SweepAngle = 36.0f;
  DriftColor(s, SweepDirection::kReverse);
  EXPECT_EQ(s.LineRed, 237);
  EXPECT_EQ(s.LineGreen, 240);
  EXPECT_EQ(s.LineBlue, 66);
}

TEST(CenteringOffset, HalvesTowardsZero) {
  EXPECT_EQ(CenteringOffset(600, 500, 120), -10);
  EXPECT_EQ(CenteringOffset(600, 500, 121), -10);  // -10.5 -> -10
  EXPECT_EQ(CenteringOffset(600, 450, 150), 0);
  EXPECT_EQ(CenteringOffset(601, 450, 150), 0);
  EXPECT_EQ(CenteringOffset(600, 400, 101), 49);  // 49.5 -> 49
  EXPECT_EQ(CenteringOffset(1080, 900, 300), -60);
}

}  // namespace
}  // namespace zt
