#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
// One spoke with the depth test: direct colour through SetPixelV.
void PlotSegment(SceneState& s, Canvas& canvas);
// The same spoke through the window's own pixel write (256-colour mode).
void PlotSegmentPalette(SceneState& s, Canvas& canvas);
}  // namespace zt
