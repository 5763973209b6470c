#pragma once
#include "base/scene_state.h"
#include "geometry/projection.h"
#include "surface/platform.h"

namespace zt {
// The point step for t = SweepAngle: curve point, projection, SegmentRadius.
// Returns the depth source d (RotatedY when SteepTilt, else RotatedZ).
float PointStep(SceneState& s, RotationTrig& trig);
float PointStep(SceneState& s);
// SpinAngle, SpinAngleOpposite and the four spoke-end offsets.
void SpokeOffsets(SceneState& s);
void DrawFigureReverse(SceneState& s, Platform& p);
void DrawFigureForward(SceneState& s, Platform& p);
}  // namespace zt
