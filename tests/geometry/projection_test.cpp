#include "geometry/projection.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <utility>

#include "figure_fixture.h"

namespace zt {
namespace {

SceneState Screen800() {
  SceneState s;
  test::SetScreen(s, 800, 600);
  return s;
}

void SetCurve(SceneState& s, float x, float y, float z) {
  s.CurveX = x;
  s.CurveY = y;
  s.CurveZ = z;
}

TEST(ProjectPoint, MapsTheModelCubeOntoTheScreenWithoutRotation) {
  SceneState s = Screen800();
  ASSERT_EQ(s.ProjectScaleX, 2.0f);
  ASSERT_EQ(s.ProjectScaleY, 1.5f);
  struct Case {
    float x, y, z, proj_x, proj_y, proj_z;
  };
  for (const Case& c : {Case{0, 0, 0, 400, 300, 300}, Case{130, 100, -100, 660, 150, 150},
                        Case{-200, -200, 200, 0, 600, 600}}) {
    SetCurve(s, c.x, c.y, c.z);
    ProjectPoint(s);
    EXPECT_EQ(s.RotatedX, c.x);
    EXPECT_EQ(s.RotatedY, c.y);
    EXPECT_EQ(s.RotatedZ, c.z);
    EXPECT_EQ(s.ProjX, c.proj_x);
    EXPECT_EQ(s.ProjY, c.proj_y);
    EXPECT_EQ(s.ProjZ, c.proj_z);
  }
}

TEST(ProjectPoint, QuarterTiltTurnsHeightIntoDepth) {
  SceneState s = Screen800();
  test::SetView(s, 90, 0);
  SetCurve(s, 30, 70, -40);
  ProjectPoint(s);
  EXPECT_NEAR(s.TiltedY, 40, 1e-3);  // -CurveZ
  EXPECT_NEAR(s.TiltedZ, 70, 1e-3);  // CurveY
  EXPECT_EQ(s.RotatedX, 30);
}

TEST(ProjectPoint, QuarterTurnSwapsWidthAndDepth) {
  SceneState s = Screen800();
  test::SetView(s, 0, 90);
  SetCurve(s, 30, 70, -40);
  ProjectPoint(s);
  EXPECT_NEAR(s.TurnedX, -40, 1e-3);  // CurveZ
  EXPECT_NEAR(s.TurnedZ, -30, 1e-3);  // -CurveX
  EXPECT_EQ(s.RotatedY, 70);
  // Turn comes before tilt: with both a quarter, depth is the old height and
  // the old depth ends up pointing down the screen.
  test::SetView(s, 90, 90);
  ProjectPoint(s);
  EXPECT_NEAR(s.RotatedX, -40, 1e-3);
  EXPECT_NEAR(s.RotatedY, 30, 1e-3);
  EXPECT_NEAR(s.RotatedZ, 70, 1e-3);
}

TEST(ProjectPoint, RollRotationIsCarriedOut) {
  SceneState s = Screen800();
  s.Roll = ToSingle(90 * kDegreeFactor);
  SetCurve(s, 30, 70, -40);
  ProjectPoint(s);
  EXPECT_NEAR(s.RotatedX, -70, 1e-3);
  EXPECT_NEAR(s.RotatedY, 30, 1e-3);
}

// A rotation kept across points must follow every change of angle, down to
// the sign of a zero, and give what a fresh one gives.
TEST(ProjectPoint, AKeptRotationFollowsEveryChangeOfAngle) {
  const float nan = std::nanf("");
  const struct {
    float turn, tilt, roll;
  } views[] = {{0.5f, 1.0f, 0.0f},  {0.5f, 1.0f, 0.0f}, {0.5f, -0.0f, 0.0f}, {0.5f, 0.0f, 0.0f},
               {-1.2f, 0.0f, 0.0f}, {-1.2f, 0.0f, 2.f}, {nan, 0.3f, 0.0f},   {0.7f, 0.3f, 0.0f}};
  SceneState kept = Screen800();
  RotationTrig trig;
  for (const auto& v : views) {
    SCOPED_TRACE(testing::Message() << v.turn << " " << v.tilt << " " << v.roll);
    kept.Turn = v.turn;
    kept.Tilt = v.tilt;
    kept.Roll = v.roll;
    SetCurve(kept, 30, -70, 40);
    SceneState fresh = kept;
    ProjectPoint(kept, trig);
    ProjectPoint(fresh);
    for (auto [a, b] : {std::pair{kept.RotatedX, fresh.RotatedX},
                        {kept.RotatedY, fresh.RotatedY},
                        {kept.RotatedZ, fresh.RotatedZ},
                        {kept.TiltedY, fresh.TiltedY}}) {
      EXPECT_EQ(std::bit_cast<uint32_t>(a), std::bit_cast<uint32_t>(b));
    }
  }
}

// Every stage is rounded to a single before the next reads it; a pipeline that
// kept double intermediates would differ in the last bit for some points.
TEST(ProjectPoint, RoundsEachStoredStageToSingle) {
  SceneState s = Screen800();
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coord(-130.0f, 130.0f);
  std::uniform_int_distribution<int> tilt(0, 359), turn(-90, 89);
  int differs_from_double_pipeline = 0;
  for (int i = 0; i < 5000; ++i) {
    test::SetView(s, tilt(rng), turn(rng));
    SetCurve(s, coord(rng), coord(rng), coord(rng));
    ProjectPoint(s);
    const double ct = std::cos(double{s.Turn}), st = std::sin(double{s.Turn});
    const double cl = std::cos(double{s.Tilt}), sl = std::sin(double{s.Tilt});
    const float turned_z = ToSingle(double{s.CurveZ} * ct - double{s.CurveX} * st);
    const float tilted_z = ToSingle(double{turned_z} * cl + double{s.CurveY} * sl);
    ASSERT_EQ(s.RotatedZ, tilted_z);
    ASSERT_EQ(s.ProjZ, ToSingle((double{tilted_z} + 200.0) * 1.5));
    const double exact_z =
        (double{s.CurveZ} * ct - double{s.CurveX} * st) * cl + double{s.CurveY} * sl;
    if (ToSingle(exact_z) != tilted_z) ++differs_from_double_pipeline;
    // Rigid rotations keep the length, so ProjZ stays positive.
    const double len_in = std::hypot(double{s.CurveX}, double{s.CurveY}, double{s.CurveZ});
    const double len_out = std::hypot(double{s.RotatedX}, double{s.RotatedY}, double{s.RotatedZ});
    ASSERT_NEAR(len_in, len_out, 1e-3);
    ASSERT_GT(s.ProjZ, 0.0f);
  }
  EXPECT_GT(differs_from_double_pipeline, 0);
}

TEST(ProjectPoint, SameInputsGiveIdenticalOutputs) {
  SceneState s = Screen800();
  test::SetView(s, 217, -33);
  SetCurve(s, 12.345f, -98.76f, 55.5f);
  ProjectPoint(s);
  const SceneState first = s;
  ProjectPoint(s);
  EXPECT_EQ(s.ProjX, first.ProjX);
  EXPECT_EQ(s.ProjY, first.ProjY);
  EXPECT_EQ(s.ProjZ, first.ProjZ);
  EXPECT_EQ(s.TiltedY, first.TiltedY);
}

}  // namespace
}  // namespace zt
