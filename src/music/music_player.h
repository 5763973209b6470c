#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
void StartMusic(SceneState& s, Platform& p);
void StopMusic(SceneState& s, Platform& p);
void Timer1_Timer(SceneState& s, Platform& p);
}  // namespace zt
