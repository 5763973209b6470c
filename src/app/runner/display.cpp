#include <iostream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/options.h"
#include "app/runner/run.h"
#include "surface/os/posix_host.h"
#include "surface/random/random.h"
#include "surface/sdl/sdl_audio.h"
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/sdl/sdl_session.h"
#include "surface/text/font_rasterizer.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"
#include "surface/x11/x11_session.h"

namespace zt {
namespace {

template <typename Session>
int RunOn(Session& session, const Options& options, PosixHost& host) {
  SdlAudio audio;
  SeededRandom random(session.clock(), options.seed);
  Platform platform{session.canvas(), session.events(), session.clock(), random, host, audio,
                    nullptr};
  SceneState state;
  FormOptions form_options;
  if (options.windowed) {
    form_options.hide_cursor = false;
    form_options.topmost = false;
  }
  form_options.exit_begins = [] { ArmExitWatchdog(0); };
  return RunForm(state, platform, form_options);
}

}  // namespace

int RunDisplay(const Options& options) {
  PosixHost host;
  // A second copy leaves before anything is shown.
  if (host.PreviousInstance()) return 0;

  std::string error;
  const ScreenBinding binding = ProbeScreenBinding(error);
  if (binding == ScreenBinding::kUnsupported) {
    std::cerr << error << "\n";
    return 1;
  }
  if (binding == ScreenBinding::kX11Indexed) {
    // SDL's window surface cannot be drawn on an 8-bit PseudoColor screen.
    FontRasterizer text;
    X11ScreenOptions x11;
    x11.text = &text;
    x11.windowed = options.windowed;
    x11.window_width = options.window_width;
    x11.window_height = options.window_height;
    std::unique_ptr<X11Session> session = OpenX11ScreenSession(x11, error);
    if (!session) {
      std::cerr << error << "\n";
      return 1;
    }
    return RunOn(*session, options, host);
  }

  SdlOptions sdl;
  sdl.force_8bit = options.colors256;
  sdl.display_index = options.display;
  sdl.windowed = options.windowed;
  sdl.window_width = options.window_width;
  sdl.window_height = options.window_height;
  std::unique_ptr<SdlSession> session = OpenSdlSession(sdl, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  return RunOn(*session, options, host);
}

}  // namespace zt
