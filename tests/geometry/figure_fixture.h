#pragma once
// A screen and a figure set up the way start-up and the scene cycle leave
// them, for the geometry tests.
#include <cstdint>
#include <vector>

#include "base/numeric.h"
#include "base/scene_observer.h"
#include "base/scene_state.h"
#include "support/fakes.h"

namespace zt::test {

inline float LayoutScaleFor(int32_t width) {
  if (width == 640) return 0.75f;
  if (width == 800) return 1.0f;
  if (width == 1024) return 1.25f;
  return ToSingle(width / 800.0);
}

inline void SetScreen(SceneState& s, int32_t width, int32_t height) {
  s.ScreenWidth = width;
  s.ScreenHeight = height;
  s.CenterX = Round32(width / 2.0);
  s.CenterY = Round32(height / 2.0);
  s.ProjectScaleX = ToSingle(s.CenterX / 200.0);
  s.ProjectScaleY = ToSingle(s.CenterY / 200.0);
  s.LayoutScale = LayoutScaleFor(width);
  s.DepthBuffer.Reset(width, height);
}

inline void SetView(SceneState& s, int tilt_degrees, int turn_degrees) {
  s.TiltDegrees = static_cast<int16_t>(tilt_degrees);
  s.TurnDegrees = static_cast<int16_t>(turn_degrees);
  s.SteepTilt =
      ((tilt_degrees > 60 && tilt_degrees < 120) || (tilt_degrees > 240 && tilt_degrees < 300)) ? 1
                                                                                                : 0;
  s.Tilt = ToSingle(tilt_degrees * kDegreeFactor);
  s.Turn = ToSingle(turn_degrees * kDegreeFactor);
  s.Roll = 0;
}

// Records the state at every spoke.
class SpokeRecorder : public SceneObserver {
 public:
  struct Spoke {
    float sweep_angle;
    int16_t red, green, blue;
    float depth;
  };
  std::vector<Spoke> spokes;
  void OnSpoke(const SceneState& s) override {
    spokes.push_back({s.SweepAngle, s.LineRed, s.LineGreen, s.LineBlue, s.Depth});
  }
};

}  // namespace zt::test
