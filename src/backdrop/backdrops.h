#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
void PaintRowBackdrop(SceneState& s, Platform& p);
void PaintColumnBackdrop(SceneState& s, Platform& p);
}  // namespace zt
