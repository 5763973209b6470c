#include "surface/sdl/fluid_hooks.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <mutex>
#include <utility>

#define ZT_HOOK extern "C" __attribute__((visibility("default")))

namespace zt {
namespace {

// FluidSynth's own function of that name, the one after ours.
template <typename Fn>
Fn* Next(const char* name) {
  return reinterpret_cast<Fn*>(dlsym(RTLD_NEXT, name));
}

struct Library {
  decltype(&new_fluid_settings) make_settings =
      Next<decltype(new_fluid_settings)>("new_fluid_settings");
  decltype(&fluid_settings_setint) set_int =
      Next<decltype(fluid_settings_setint)>("fluid_settings_setint");
  decltype(&new_fluid_player) make_player = Next<decltype(new_fluid_player)>("new_fluid_player");
  decltype(&delete_fluid_player) erase_player =
      Next<decltype(delete_fluid_player)>("delete_fluid_player");
  decltype(&fluid_player_add_mem) add_mem =
      Next<decltype(fluid_player_add_mem)>("fluid_player_add_mem");
  decltype(&fluid_player_play) play = Next<decltype(fluid_player_play)>("fluid_player_play");
  decltype(&fluid_player_stop) stop = Next<decltype(fluid_player_stop)>("fluid_player_stop");
  decltype(&fluid_player_set_loop) set_loop =
      Next<decltype(fluid_player_set_loop)>("fluid_player_set_loop");
  decltype(&fluid_player_get_status) status =
      Next<decltype(fluid_player_get_status)>("fluid_player_get_status");
  decltype(&fluid_synth_system_reset) reset =
      Next<decltype(fluid_synth_system_reset)>("fluid_synth_system_reset");
  decltype(&fluid_synth_all_sounds_off) silence =
      Next<decltype(fluid_synth_all_sounds_off)>("fluid_synth_all_sounds_off");
  decltype(&fluid_synth_write_s16) write =
      Next<decltype(fluid_synth_write_s16)>("fluid_synth_write_s16");
};

const Library& Fluid() {
  static const Library library;
  return library;
}

// The player SDL_mixer knows a song by, and the one really playing it since
// the song was last started over (null while none could be made). One song
// at a time is started over; its player is only handed to FluidSynth by
// the sound thread, or by the audio thread while the song is in the mixer,
// never while the sound thread replaces it.
class Replaced {
 public:
  fluid_player_t* Get(fluid_player_t* known) {
    std::lock_guard lock(mutex_);
    return known == known_ ? now_ : known;
  }
  void Set(fluid_player_t* known, fluid_player_t* now) {
    std::lock_guard lock(mutex_);
    known_ = known;
    now_ = now;
  }
  // The player to delete with `known`, which is forgotten.
  fluid_player_t* Forget(fluid_player_t* known) {
    std::lock_guard lock(mutex_);
    if (known != known_) return known;
    known_ = nullptr;
    return std::exchange(now_, nullptr);
  }

 private:
  std::mutex mutex_;
  fluid_player_t* known_ = nullptr;
  fluid_player_t* now_ = nullptr;
};

Replaced replaced;
thread_local FluidPlayer made_player;

}  // namespace

FluidPlayer TakeMadeFluidPlayer() { return std::exchange(made_player, FluidPlayer{}); }

bool RestartFluidSong(const FluidPlayer& fluid, std::span<const uint8_t> song) {
  const Library& f = Fluid();
  if (fluid.player == nullptr || f.make_player == nullptr || f.erase_player == nullptr ||
      f.add_mem == nullptr || f.reset == nullptr || f.silence == nullptr || f.write == nullptr) {
    return false;
  }
  // The old player goes first: its last act would be to silence the
  // channels it played, the new one's notes among them.
  if (fluid_player_t* old = replaced.Get(fluid.player)) f.erase_player(old);
  // The last pass's voices are cut, as a new synthesiser would have none;
  // they are gone once a block is rendered, and a reset of the channels
  // before that would leave them sounding.
  f.silence(fluid.synth, -1);
  int16_t block[2 * 64];
  f.write(fluid.synth, 64, block, 0, 2, block, 1, 2);
  // Programs, controllers and effects as a new synthesiser has them.
  f.reset(fluid.synth);
  fluid_player_t* fresh = f.make_player(fluid.synth);
  if (fresh != nullptr && f.add_mem(fresh, song.data(), song.size()) != FLUID_OK) {
    f.erase_player(fresh);
    fresh = nullptr;
  }
  replaced.Set(fluid.player, fresh);
  return fresh != nullptr;
}

}  // namespace zt

// SDL_mixer makes the synthesiser's settings itself and offers no way to
// change them: these take effect wherever it does.
ZT_HOOK fluid_settings_t* new_fluid_settings() {
  const zt::Library& f = zt::Fluid();
  fluid_settings_t* settings = f.make_settings != nullptr ? f.make_settings() : nullptr;
  if (settings != nullptr && f.set_int != nullptr) {
    // Only the samples a song plays are read, not the whole soundfont.
    f.set_int(settings, "synth.dynamic-sample-loading", 1);
    // The voices of a General MIDI synthesiser of the original's platform,
    // not FluidSynth's 256: each costs its buffers whether it sounds or not.
    f.set_int(settings, "synth.polyphony", 64);
  }
  return settings;
}

ZT_HOOK fluid_player_t* new_fluid_player(fluid_synth_t* synth) {
  const zt::Library& f = zt::Fluid();
  fluid_player_t* player = f.make_player != nullptr ? f.make_player(synth) : nullptr;
  zt::made_player = {synth, player};
  return player;
}

ZT_HOOK void delete_fluid_player(fluid_player_t* player) {
  const zt::Library& f = zt::Fluid();
  // A song SDL_mixer fails to finish loading takes its player with it, and
  // the mixer may then try another synthesiser: that player is not the song's.
  if (zt::made_player.player == player) zt::made_player = {};
  fluid_player_t* now = zt::replaced.Forget(player);
  if (now != nullptr && f.erase_player != nullptr) f.erase_player(now);
}

// What SDL_mixer asks of a song's player goes to the one playing it.
ZT_HOOK int fluid_player_play(fluid_player_t* player) {
  fluid_player_t* now = zt::replaced.Get(player);
  return now != nullptr && zt::Fluid().play != nullptr ? zt::Fluid().play(now) : FLUID_FAILED;
}

ZT_HOOK int fluid_player_stop(fluid_player_t* player) {
  fluid_player_t* now = zt::replaced.Get(player);
  return now != nullptr && zt::Fluid().stop != nullptr ? zt::Fluid().stop(now) : FLUID_OK;
}

ZT_HOOK int fluid_player_set_loop(fluid_player_t* player, int loop) {
  fluid_player_t* now = zt::replaced.Get(player);
  return now != nullptr && zt::Fluid().set_loop != nullptr ? zt::Fluid().set_loop(now, loop)
                                                           : FLUID_OK;
}

ZT_HOOK int fluid_player_get_status(fluid_player_t* player) {
  fluid_player_t* now = zt::replaced.Get(player);
  return now != nullptr && zt::Fluid().status != nullptr ? zt::Fluid().status(now)
                                                         : FLUID_PLAYER_DONE;
}
