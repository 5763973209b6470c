#pragma once
// The small arithmetic rules of the sweep and the measurement, kept apart so
// that their edge cases can be checked without walking a whole figure.
#include <cstdint>

#include "base/scene_state.h"

namespace zt {

// The channel value that follows depth: the product rounded half-even as a
// 16-bit value, then capped to 0..255.
int16_t LevelFromProduct(double product);
// The same for a depth value: (depth + 200) x 0.7.
int16_t DepthLevel(float depth);

// Sets the depth-driven channel of schemes 0 to 2; other schemes keep theirs.
void ApplyDepthColor(SceneState& s);

// Makes all three channels even and within 0..254 for the 256-colour palette.
void AdjustForPalette(SceneState& s);

// Which sweep is running; in direct colour the meaning of the red and blue
// flags differs between the two.
enum class SweepDirection { kReverse, kForward };

// Scheme 3: one drift of all three channels when the whole sweep angle has
// moved on (and, in 256-colour operation, lands on a multiple of 3).
void DriftColor(SceneState& s, SweepDirection direction);

// Rows to add so the figure's extreme rows sit evenly around the middle:
// halved towards zero in 32 bits, stored in 16.
int16_t CenteringOffset(int32_t screen_height, int16_t max_y, int16_t min_y);

}  // namespace zt
