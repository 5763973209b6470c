#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/options.h"
#include "app/runner/hack_target.h"
#include "surface/events/quit_signals.h"
#include "app/runner/run.h"
#include "app/runner/scene_run.h"
#include "surface/headless/headless.h"
#include "surface/events/quit_signals.h"
#include "surface/random/random.h"
#include "surface/text/font_rasterizer.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"
#include "surface/x11/x11_session.h"

namespace zt {

// Drawing into a window the screen-saver daemon owns: its size, no input,
// no pointer, no music, no lock (the daemon runs one copy per screen and
// more for previews). SIGTERM or the window's end finish the run with 0.
int RunHack(const Options& options) {
  // First of all, so a daemon's SIGTERM during start-up is a clean end too.
  QuitSignals signals;
  std::string error;
  const auto target = ResolveHackTarget(options, std::getenv("XSCREENSAVER_WINDOW"), error);
  if (!target) {
    std::cerr << "zolven-taris: " << error << "\n";
    return 1;
  }
  FontRasterizer text;
  X11Options x11;
  x11.text = &text;
  x11.root = target->root;
  x11.window = target->window;
  x11.force_8bit = options.colors256;
  std::unique_ptr<X11Session> session = OpenX11Session(x11, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  HeadlessHost host;
  SilentAudio audio;
  FormOptions form_options;
  form_options.hide_cursor = false;
  form_options.topmost = false;
  form_options.music = false;
  form_options.single_instance = false;
  form_options.input_ends = false;
  form_options.exit_begins = [] { ArmExitWatchdog(0); };
  return RunScene(session->canvas(), session->events(), session->clock(), host, audio, options,
                  form_options);
}

}  // namespace zt
