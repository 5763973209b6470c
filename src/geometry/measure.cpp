#include "geometry/measure.h"

#include <cmath>

#include "base/numeric.h"
#include "geometry/figure_rules.h"
#include "geometry/sweep.h"

namespace zt {

namespace {

void TakeRow(SceneState& s, float offset) {
  // The plotter floors the same double sum, so the rows seen here are the
  // rows it will draw.
  const int64_t row = FloorInt(static_cast<double>(s.ProjY) + static_cast<double>(offset));
  if (row > s.FigureMaxY) s.FigureMaxY = Wrap16(row);
  if (row < s.FigureMinY) s.FigureMinY = Wrap16(row);
}

}  // namespace

// A dry run of the forward walk from 0 to 360 that only tracks spoke-end rows;
// Depth, the horizontal offsets, the colour and DepthBuffer stay as they are.
void MeasureFigure(SceneState& s, Platform& p) {
  p.events.Pump();
  s.FigureMaxY = Wrap16(s.CenterY);
  s.FigureMinY = Wrap16(s.CenterY);
  const float bound = 360.0f;
  const float increment = s.StepDegrees;
  s.SweepAngle = 0.0f;
  RotationTrig trig;
  while (s.SweepAngle <= bound) {
    PointStep(s, trig);
    const double radius = static_cast<double>(s.SegmentRadius);
    s.SpinAngle = ToSingle(static_cast<double>(s.SpinRate) * static_cast<double>(s.SweepAngle));
    s.SpokeDY1 = ToSingle(radius * std::sin(static_cast<double>(s.SpinAngle) * kDegreeFactor));
    TakeRow(s, s.SpokeDY1);
    s.SpinAngleOpposite = ToSingle(static_cast<double>(s.SpinAngle) + 180.0);
    s.SpokeDY2 =
        ToSingle(radius * std::sin(static_cast<double>(s.SpinAngleOpposite) * kDegreeFactor));
    TakeRow(s, s.SpokeDY2);
    // A step too small to move the angle would loop for ever.
    const float next = s.SweepAngle + increment;
    if (!(next > s.SweepAngle)) break;
    s.SweepAngle = next;
  }
  s.FigureOffsetY = CenteringOffset(s.ScreenHeight, s.FigureMaxY, s.FigureMinY);
  p.events.Pump();
}

}  // namespace zt
