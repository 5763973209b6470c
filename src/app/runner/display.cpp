#include <iostream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/options.h"
#include "surface/os/posix_host.h"
#include "surface/random.h"
#include "surface/sdl/sdl_audio.h"
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/sdl/sdl_session.h"

namespace zt {

int RunDisplay(const Options& options) {
  PosixHost host;
  // A second copy leaves before anything is shown.
  if (host.PreviousInstance()) return 0;

  SdlOptions sdl;
  sdl.force_8bit = options.colors256;
  sdl.display_index = options.display;
  sdl.windowed = options.windowed;
  sdl.window_width = options.window_width;
  sdl.window_height = options.window_height;
  std::string error;
  std::unique_ptr<SdlSession> session = OpenSdlSession(sdl, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  SdlAudio audio;
  SeededRandom random(session->clock(), options.seed);
  Platform platform{session->canvas(), session->events(), session->clock(), random, host, audio,
                    nullptr};
  SceneState state;
  FormOptions form_options;
  if (options.windowed) {
    form_options.hide_cursor = false;
    form_options.topmost = false;
  }
  return RunForm(state, platform, form_options);
}

}  // namespace zt
