#include "geometry/projection.h"

#include <cmath>

#include "base/numeric.h"

namespace zt {

// Each stage is stored as a single before the next one reads it, so the
// rounding matches the stored variables exactly. The sines and cosines are
// taken on every call: they cost little against the rest of a step and need
// no per-figure cache to invalidate.
void ProjectPoint(SceneState& s) {
  const double turn_cos = std::cos(static_cast<double>(s.Turn));
  const double turn_sin = std::sin(static_cast<double>(s.Turn));
  s.TurnedX =
      ToSingle(static_cast<double>(s.CurveX) * turn_cos + static_cast<double>(s.CurveZ) * turn_sin);
  s.TurnedY = s.CurveY;
  s.TurnedZ =
      ToSingle(static_cast<double>(s.CurveZ) * turn_cos - static_cast<double>(s.CurveX) * turn_sin);

  const double tilt_cos = std::cos(static_cast<double>(s.Tilt));
  const double tilt_sin = std::sin(static_cast<double>(s.Tilt));
  s.TiltedX = s.TurnedX;
  s.TiltedY = ToSingle(static_cast<double>(s.TurnedY) * tilt_cos -
                       static_cast<double>(s.TurnedZ) * tilt_sin);
  s.TiltedZ = ToSingle(static_cast<double>(s.TurnedZ) * tilt_cos +
                       static_cast<double>(s.TurnedY) * tilt_sin);

  // Roll is always 0, but the rotation still runs so a non-zero value works.
  const double roll_cos = std::cos(static_cast<double>(s.Roll));
  const double roll_sin = std::sin(static_cast<double>(s.Roll));
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

}  // namespace zt
