#pragma once
#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
// The face the captions ask for by name.
inline constexpr const char* kCaptionFace = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D";
void ShowTitleCard(SceneState& s, Platform& p);
void PrintStatusLine(SceneState& s, Platform& p);
}  // namespace zt
