#pragma once
#include <cstdint>

#include "base/scene_state.h"

namespace zt {

// The cosines and sines of Turn, Tilt and Roll. A figure projects every
// point at one rotation; kept across its points, they are taken again
// only when an angle changes, and then give what taking them afresh gives.
class RotationTrig {
 public:
  void Follow(const SceneState& s);

  double turn_cos = 1, turn_sin = 0, tilt_cos = 1, tilt_sin = 0, roll_cos = 1, roll_sin = 0;

 private:
  // The angles' bits: -0 and 0 have sines of opposite sign, and a NaN
  // never equals itself.
  uint32_t turn_ = 0, tilt_ = 0, roll_ = 0;
  bool taken_ = false;
};

// Rotates (CurveX, CurveY, CurveZ) by Turn, Tilt, Roll and projects it.
void ProjectPoint(SceneState& s, RotationTrig& trig);
void ProjectPoint(SceneState& s);

}  // namespace zt
