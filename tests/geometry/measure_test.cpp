#include "geometry/measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "figure_fixture.h"
#include "geometry/sweep.h"

namespace zt {
namespace {

struct MeasureCase {
  int tilt, turn;
  int16_t z_frequency, spin_rate;
  float step;
  int32_t width, height;
};

class Measure : public ::testing::TestWithParam<MeasureCase> {};

// The extremes are those of the spoke ends the sweep will draw, counted from
// the centre row, and the offset centres them.
TEST_P(Measure, FindsTheExtremeSpokeRowsAndCentresThem) {
  const MeasureCase c = GetParam();
  test::FakePlatform fake;
  SceneState s;
  test::SetScreen(s, c.width, c.height);
  test::SetView(s, c.tilt, c.turn);
  s.ZFrequency = c.z_frequency;
  s.SpinRate = c.spin_rate;
  s.StepDegrees = c.step;
  s.Depth = 12.5f;
  s.SpokeDX1 = 3.25f;
  s.SpokeDX2 = -4.5f;
  s.LineRed = 10;
  s.LineGreen = 20;
  s.LineBlue = 30;
  s.DepthBuffer.Set(5, 5, 99);
  const std::vector<int16_t> cells = s.DepthBuffer.Cells();

  MeasureFigure(s, fake.platform);

  // A walk of its own over the same angles with the full spoke offsets.
  SceneState walk = s;
  int64_t max_row = s.CenterY, min_row = s.CenterY;
  for (walk.SweepAngle = 0; walk.SweepAngle <= 360.0f; walk.SweepAngle += c.step) {
    PointStep(walk);
    SpokeOffsets(walk);
    for (float dy : {walk.SpokeDY1, walk.SpokeDY2}) {
      const int64_t row = static_cast<int64_t>(std::floor(double{walk.ProjY} + double{dy}));
      max_row = std::max(max_row, row);
      min_row = std::min(min_row, row);
    }
  }
  EXPECT_EQ(s.FigureMaxY, max_row);
  EXPECT_EQ(s.FigureMinY, min_row);
  EXPECT_EQ(s.FigureOffsetY, static_cast<int16_t>((c.height - max_row - min_row) / 2));
  EXPECT_NE(max_row, min_row);

  EXPECT_EQ(fake.events.pumps, 2);
  EXPECT_TRUE(fake.events.waits.empty());
  EXPECT_TRUE(fake.canvas.pixels.empty());
  EXPECT_EQ(s.Depth, 12.5f);
  EXPECT_EQ(s.SpokeDX1, 3.25f);
  EXPECT_EQ(s.SpokeDX2, -4.5f);
  EXPECT_EQ(s.LineRed, 10);
  EXPECT_EQ(s.LineGreen, 20);
  EXPECT_EQ(s.LineBlue, 30);
  EXPECT_TRUE(std::ranges::equal(s.DepthBuffer.Cells(), cells));
}

INSTANTIATE_TEST_SUITE_P(Figures, Measure,
                         ::testing::Values(MeasureCase{30, 20, 4, 2, 0.5f, 800, 600},
                                           MeasureCase{95, -60, 1, 3, 0.3f, 1920, 1080},
                                           MeasureCase{250, 45, 5, 12, 0.7f, 1024, 768},
                                           MeasureCase{0, 0, 1, 1, 0.5f, 640, 480},
                                           MeasureCase{180, -90, 4, 8, 0.3f, 1366, 767}));

}  // namespace
}  // namespace zt
