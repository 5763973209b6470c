#include "geometry/projection.h"

#include <bit>
#include <cmath>

#include "base/numeric.h"

namespace zt {

void RotationTrig::Follow(const SceneState& s) {
  const uint32_t turn = std::bit_cast<uint32_t>(s.Turn);
  const uint32_t tilt = std::bit_cast<uint32_t>(s.Tilt);
  const uint32_t roll = std::bit_cast<uint32_t>(s.Roll);
  if (taken_ && turn == turn_ && tilt == tilt_ && roll == roll_) return;
  turn_cos = std::cos(static_cast<double>(s.Turn));
  turn_sin = std::sin(static_cast<double>(s.Turn));
  tilt_cos = std::cos(static_cast<double>(s.Tilt));
  tilt_sin = std::sin(static_cast<double>(s.Tilt));
  roll_cos = std::cos(static_cast<double>(s.Roll));
  roll_sin = std::sin(static_cast<double>(s.Roll));
  turn_ = turn;
  tilt_ = tilt;
  roll_ = roll;
  taken_ = true;
}

// Each stage is stored as a single before the next one reads it, so the
// rounding matches the stored variables exactly.
void ProjectPoint(SceneState& s, RotationTrig& trig) {
  trig.Follow(s);
  const double turn_cos = trig.turn_cos, turn_sin = trig.turn_sin;
  s.TurnedX =
      ToSingle(static_cast<double>(s.CurveX) * turn_cos + static_cast<double>(s.CurveZ) * turn_sin);
  s.TurnedY = s.CurveY;
  s.TurnedZ =
      ToSingle(static_cast<double>(s.CurveZ) * turn_cos - static_cast<double>(s.CurveX) * turn_sin);

  const double tilt_cos = trig.tilt_cos, tilt_sin = trig.tilt_sin;
  s.TiltedX = s.TurnedX;
  s.TiltedY = ToSingle(static_cast<double>(s.TurnedY) * tilt_cos -
                       static_cast<double>(s.TurnedZ) * tilt_sin);
  s.TiltedZ = ToSingle(static_cast<double>(s.TurnedZ) * tilt_cos +
                       static_cast<double>(s.TurnedY) * tilt_sin);

  // Roll is always 0, but the rotation still runs so a non-zero value works.
  const double roll_cos = trig.roll_cos, roll_sin = trig.roll_sin;
  s.RotatedX = ToSingle(static_cast<double>(s.TiltedX) * roll_cos -
                        static_cast<double>(s.TiltedY) * roll_sin);
  s.RotatedY = ToSingle(static_cast<double>(s.TiltedY) * roll_cos +
                        static_cast<double>(s.TiltedX) * roll_sin);
  s.RotatedZ = s.TiltedZ;

  // Parallel projection of the cube -200..200; depth uses the vertical scale.
  s.ProjX =
      ToSingle((static_cast<double>(s.RotatedX) + 200.0) * static_cast<double>(s.ProjectScaleX));
  s.ProjY =
      ToSingle((200.0 - static_cast<double>(s.RotatedY)) * static_cast<double>(s.ProjectScaleY));
  s.ProjZ =
      ToSingle((static_cast<double>(s.RotatedZ) + 200.0) * static_cast<double>(s.ProjectScaleY));
}

void ProjectPoint(SceneState& s) {
  RotationTrig trig;
  ProjectPoint(s, trig);
}

}  // namespace zt
