#include "surface/sdl/sdl_module.h"

#include "surface/sdl/sdl_audio.h"

namespace {

std::unique_ptr<zt::Audio> MakeAudio() { return std::make_unique<zt::SdlAudio>(); }

constexpr zt::SdlModule kModule{ZT_VERSION, &zt::OpenSdlSession, &MakeAudio};

}  // namespace

extern "C" __attribute__((visibility("default"))) const zt::SdlModule* zt_sdl_module() {
  return &kModule;
}
