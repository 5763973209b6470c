#include "geometry/sweep.h"

#include <cmath>

#include "base/numeric.h"
#include "base/scene_observer.h"
#include "geometry/figure_rules.h"
#include "geometry/projection.h"
#include "raster/plot_segment.h"

namespace zt {

float PointStep(SceneState& s, RotationTrig& trig) {
  const double a = static_cast<double>(s.SweepAngle) * kDegreeFactor;
  s.CurveX = ToSingle(130.0 * std::sin(2.0 * a));
  s.CurveY = ToSingle(100.0 * std::sin(3.0 * a));
  s.CurveZ = ToSingle(100.0 * std::sin(static_cast<double>(s.ZFrequency) * a));
  ProjectPoint(s, trig);
  const float d = s.SteepTilt != 0 ? s.RotatedY : s.RotatedZ;
  s.SegmentRadius =
      ToSingle((static_cast<double>(d) + 200.0) / 4.0 * static_cast<double>(s.LayoutScale) + 1.0);
  if (!(s.SegmentRadius >= 1.0f)) s.SegmentRadius = 1.0f;
  return d;
}

float PointStep(SceneState& s) {
  RotationTrig trig;
  return PointStep(s, trig);
}

void SpokeOffsets(SceneState& s) {
  const double radius = static_cast<double>(s.SegmentRadius);
  s.SpinAngle = ToSingle(static_cast<double>(s.SpinRate) * static_cast<double>(s.SweepAngle));
  const double spin = static_cast<double>(s.SpinAngle) * kDegreeFactor;
  s.SpokeDX1 = ToSingle(radius * std::cos(spin));
  s.SpokeDY1 = ToSingle(radius * std::sin(spin));
  s.SpinAngleOpposite = ToSingle(static_cast<double>(s.SpinAngle) + 180.0);
  const double opposite = static_cast<double>(s.SpinAngleOpposite) * kDegreeFactor;
  s.SpokeDX2 = ToSingle(radius * std::cos(opposite));
  s.SpokeDY2 = ToSingle(radius * std::sin(opposite));
}

namespace {

void SweepStep(SceneState& s, Platform& p, SweepDirection direction, RotationTrig& trig) {
  s.Depth = PointStep(s, trig);
  p.events.Pump();
  if (s.ColorScheme == 3) {
    DriftColor(s, direction);
  } else {
    ApplyDepthColor(s);
    if (s.PaletteMode == 1) AdjustForPalette(s);
  }
  SpokeOffsets(s);
  if (s.PaletteMode == 0) {
    PlotSegment(s, p.canvas);
  } else {
    PlotSegmentPalette(s, p.canvas);
  }
  if (p.observer != nullptr) p.observer->OnSpoke(s);
  // Waiting on the event queue rather than sleeping blind lets a click end
  // the program at once, with the same pacing.
  p.events.PumpFor(s.StepDelay);
  p.events.Pump();
}

}  // namespace

// The angle is a single and accumulates its rounding step by step; the step
// counts (1201, 721, 515) depend on exactly that, so it must stay a float.
// A step too small to move the angle would never reach the bound, so such a
// sweep stops instead of hanging.
void DrawFigureReverse(SceneState& s, Platform& p) {
  const float bound = static_cast<float>(s.SweepStart);
  const float increment = -s.StepDegrees;
  s.SweepAngle = static_cast<float>(Wrap16(s.SweepStart + 360));
  RotationTrig trig;
  while (s.SweepAngle >= bound) {
    SweepStep(s, p, SweepDirection::kReverse, trig);
    const float next = s.SweepAngle + increment;
    if (!(next < s.SweepAngle)) break;
    s.SweepAngle = next;
  }
}

void DrawFigureForward(SceneState& s, Platform& p) {
  const float bound = static_cast<float>(Wrap16(s.SweepStart + 360));
  const float increment = s.StepDegrees;
  s.SweepAngle = static_cast<float>(s.SweepStart);
  RotationTrig trig;
  while (s.SweepAngle <= bound) {
    SweepStep(s, p, SweepDirection::kForward, trig);
    const float next = s.SweepAngle + increment;
    if (!(next > s.SweepAngle)) break;
    s.SweepAngle = next;
  }
}

}  // namespace zt
