#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
void InitPalette(SceneState& s, Platform& p);
void PrepareFigurePalette(SceneState& s, Platform& p);
}  // namespace zt
