// Placeholder until the music player lands.
#include "music/music_player.h"
namespace zt {
void StartMusic(SceneState&, Platform&) {}
void StopMusic(SceneState&, Platform&) {}
void Timer1_Timer(SceneState&, Platform&) {}
}  // namespace zt
