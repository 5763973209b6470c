#include "surface/sdl/sdl_module.h"

#include <dlfcn.h>

#include "surface/sdl/sdl_audio.h"

namespace {

std::unique_ptr<zt::Audio> MakeAudio() { return std::make_unique<zt::SdlAudio>(); }

constexpr zt::SdlModule kModule{ZT_VERSION, &zt::OpenSdlSession, &MakeAudio};

}  // namespace

extern "C" __attribute__((visibility("default"))) const zt::SdlModule* zt_sdl_module() {
  return &kModule;
}

// SDL_mixer makes the synthesiser's settings itself and offers no way to
// change them. Ours come first in the module's lookup order, so its
// synthesisers load only the samples a song plays instead of the whole
// soundfont, and keep fewer voices.
struct _fluid_hashtable_t;
extern "C" __attribute__((visibility("default"))) _fluid_hashtable_t* new_fluid_settings() {
  using Make = _fluid_hashtable_t* (*)();
  using SetInt = int (*)(_fluid_hashtable_t*, const char*, int);
  static const auto make = reinterpret_cast<Make>(dlsym(RTLD_NEXT, "new_fluid_settings"));
  static const auto set_int = reinterpret_cast<SetInt>(dlsym(RTLD_NEXT, "fluid_settings_setint"));
  _fluid_hashtable_t* settings = make != nullptr ? make() : nullptr;
  if (settings != nullptr && set_int != nullptr) {
    set_int(settings, "synth.dynamic-sample-loading", 1);
    // The voices of a General MIDI synthesiser of the original's platform,
    // not FluidSynth's 256: each costs its buffers whether it sounds or not.
    set_int(settings, "synth.polyphony", 64);
  }
  return settings;
}
