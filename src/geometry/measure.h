#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
// Walks the curve once without drawing and sets FigureOffsetY.
void MeasureFigure(SceneState& s, Platform& p);
}  // namespace zt
