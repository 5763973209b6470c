#pragma once
// The SDL binding as a module the program loads only when it needs it: the
// window where no X screen of ours serves, and the sound when music plays.
// So SDL and the libraries behind it (the synthesiser's among them) are not
// mapped into a program that draws on its own X window in silence.
#include <memory>
#include <string>

#include "surface/platform.h"
#include "surface/sdl/sdl_session.h"

namespace zt {

struct SdlModule {
  // The program's version the module was built with; another is not used.
  const char* version;
  std::unique_ptr<SdlSession> (*open_session)(const SdlOptions& options, std::string& error);
  // The program's one sound player, kept until the process ends: its end
  // stops the sound at once and leaves the device to the process's end
  // (SdlAudio::DeviceEnd::kWithProcess).
  std::unique_ptr<Audio> (*make_audio)();
};

}  // namespace zt

// The module's one entry point.
extern "C" const zt::SdlModule* zt_sdl_module();
inline constexpr char kSdlModuleEntry[] = "zt_sdl_module";
inline constexpr char kSdlModuleFile[] = "zolven-taris-sdl.so";
