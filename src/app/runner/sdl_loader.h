#pragma once
// Finds and loads the SDL module once per process: where it is installed
// beside the program, next to it in a build tree, else under the prefix the
// program was built for.
#include <memory>
#include <string>

#include "surface/platform.h"
#include "surface/sdl/sdl_module.h"

namespace zt {

// Null with a one-line `error` naming what failed.
const SdlModule* LoadSdlModule(std::string& error);

// Sound through the SDL module, which is loaded by the first call that
// needs it; without it the program stays silent, saying so once.
// Nothing is loaded while no music plays. It is ended only as the process
// ends, which then closes the sound device.
class LazySdlAudio : public Audio {
 public:
  int32_t SndPlaySound(std::string_view file_name, uint32_t flags) override;
  uint32_t MciSendString(std::string_view command, char* reply, uint32_t reply_size) override;
  void Beep() override;

 private:
  Audio& Get();
  std::unique_ptr<Audio> audio_;
  bool tried_ = false;
};

}  // namespace zt
