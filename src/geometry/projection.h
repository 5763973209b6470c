#pragma once
#include "base/scene_state.h"

namespace zt {
// Rotates (CurveX, CurveY, CurveZ) by Turn, Tilt, Roll and projects it.
void ProjectPoint(SceneState& s);
}  // namespace zt
