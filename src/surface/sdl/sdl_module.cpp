#include "surface/sdl/sdl_module.h"

#include <malloc.h>

#include "surface/sdl/sdl_audio.h"

namespace {

std::unique_ptr<zt::Audio> MakeAudio() {
  // The threads started from here on share the program's one heap. The
  // synthesiser's soundfont tables are built on the sound thread, and in an
  // arena of its own what the loader frees at the end could serve nothing
  // the display allocates, nor the other way round: 2 MB more at the peak.
  mallopt(M_ARENA_MAX, 1);
  return std::make_unique<zt::SdlAudio>(zt::SdlAudio::DeviceEnd::kWithProcess);
}

constexpr zt::SdlModule kModule{ZT_VERSION, &zt::OpenSdlSession, &MakeAudio};

}  // namespace

extern "C" __attribute__((visibility("default"))) const zt::SdlModule* zt_sdl_module() {
  return &kModule;
}
