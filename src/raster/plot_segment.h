#pragma once
#include <cstdint>

#include "base/scene_state.h"
#include "base/spoke_target.h"
#include "surface/platform.h"

namespace zt {
// One spoke with the depth test: direct colour through SetPixelV, or into
// the window's cells where the canvas lets it.
void PlotSegment(SceneState& s, Canvas& canvas);
// The same spoke through the window's own pixel write (256-colour mode).
void PlotSegmentPalette(SceneState& s, Canvas& canvas);

// A spoke as the line stepper takes it: both ends (the figure offset added),
// its depth key, its colour, and the cells it may touch: rows 1..rows and
// columns 0..columns-1.
struct SpokeLine {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int16_t key = 0;
  uint32_t rows = 0, columns = 0;
  ColorRef color = 0;
};
SpokeLine SpokeLineOf(const SceneState& s);

}  // namespace zt
