#include "geometry/figure_rules.h"

#include "base/numeric.h"

namespace zt {

int16_t LevelFromProduct(double product) {
  int16_t v = Round16(product);
  if (v > 255) v = 255;
  if (v < 0) v = 0;
  return v;
}

int16_t DepthLevel(float depth) {
  return LevelFromProduct((static_cast<double>(depth) + 200.0) * 0.7);
}

void ApplyDepthColor(SceneState& s) {
  switch (s.ColorScheme) {
    case 0:
      s.LineRed = DepthLevel(s.Depth);
      break;
    case 1:
      s.LineGreen = DepthLevel(s.Depth);
      break;
    case 2:
      s.LineBlue = DepthLevel(s.Depth);
      break;
    default:
      break;
  }
}

namespace {

int16_t EvenWithinPalette(int16_t v) {
  if (v % 2 != 0) v = Wrap16(v + 1);
  if (v < 0) v = 0;
  if (v > 254) v = 254;
  return v;
}

constexpr int16_t kUpperTurn = 240;

// Moves one channel a unit in its flag's direction and turns the flag at the
// first value that reaches or passes a turn value.
void DriftChannel(int16_t& value, int16_t& dir, bool rises_on_zero, int16_t unit,
                  int16_t lower_turn) {
  const bool rising = (dir == 0) == rises_on_zero;
  const int16_t rise_flag = rises_on_zero ? 0 : 1;
  const int16_t fall_flag = rises_on_zero ? 1 : 0;
  if (rising) {
    value = Wrap16(value + unit);
    if (value >= kUpperTurn) dir = fall_flag;
  } else {
    value = Wrap16(value - unit);
    if (value <= lower_turn) dir = rise_flag;
  }
}

}  // namespace

void AdjustForPalette(SceneState& s) {
  s.LineRed = EvenWithinPalette(s.LineRed);
  s.LineGreen = EvenWithinPalette(s.LineGreen);
  s.LineBlue = EvenWithinPalette(s.LineBlue);
}

void DriftColor(SceneState& s, SweepDirection direction) {
  const bool palette = s.PaletteMode != 0;
  const int64_t w = FloorInt(static_cast<double>(s.SweepAngle));
  if (w == s.LastColorStep) return;
  if (palette && w % 3 != 0) return;
  s.LastColorStep = Wrap16(w);

  const int16_t unit = palette ? 3 : 1;
  const int16_t lower_turn = palette ? 63 : 60;
  // What a flag of 0 means: only the direct-colour reverse sweep reads red and
  // blue the other way round.
  const bool flipped = !palette && direction == SweepDirection::kReverse;
  DriftChannel(s.LineRed, s.RedDir, !flipped, unit, lower_turn);
  DriftChannel(s.LineGreen, s.GreenDir, true, unit, lower_turn);
  DriftChannel(s.LineBlue, s.BlueDir, flipped, unit, lower_turn);
}

int16_t CenteringOffset(int32_t screen_height, int16_t max_y, int16_t min_y) {
  const int32_t span = Wrap32(static_cast<int64_t>(screen_height) - max_y - min_y);
  return Wrap16(span / 2);  // integer division truncates towards zero
}

}  // namespace zt
