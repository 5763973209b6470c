#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/options.h"
#include "app/runner/run.h"
#include "app/runner/scene_run.h"
#include "app/runner/sdl_loader.h"
#include "surface/os/posix_host.h"
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/text/font_rasterizer.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"
#include "surface/x11/x11_session.h"

namespace zt {
namespace {

template <typename Session>
int RunOn(Session& session, const Options& options, Host& host, FormOptions form_options) {
  LazySdlAudio audio;
  if (options.windowed) {
    form_options.hide_cursor = false;
    form_options.topmost = false;
  }
  form_options.exit_begins = [] { ArmExitWatchdog(0); };
  return RunScene(session.canvas(), session.events(), session.clock(), host, audio, options,
                  form_options);
}

class MonitorChildren;
int RunOnX11(const X11ScreenOptions& x11, const Options& options, Host& host,
             FormOptions form_options, MonitorChildren* children);

// The scenes of the other monitors run in processes of their own, as a
// screen-saver daemon runs one hack per monitor: each scene's loop owns its
// thread. A click or key on any ends them all.
class MonitorChildren {
 public:
  MonitorChildren() = default;
  MonitorChildren(const MonitorChildren&) = delete;
  MonitorChildren& operator=(const MonitorChildren&) = delete;
  ~MonitorChildren() { Stop(); }

  // Stops every child, waiting a bounded time before forcing it. Called
  // while the quit signals are still ours, so a child's last word cannot
  // end this process untidily.
  void Stop() {
    if (pids_.empty()) return;
    // The children's own ends signal us; we are ending already.
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) signal(sig, SIG_IGN);
    for (const pid_t pid : pids_) kill(pid, SIGTERM);
    // Within the exit's bound on teardown.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    for (const pid_t pid : pids_) {
      while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
          kill(pid, SIGKILL);
          waitpid(pid, nullptr, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    pids_.clear();
  }

  // Starts the scene of `area` in a child; in the child it never returns.
  void Start(const RectI& area, Options options, Host& host) {
    // A scene of its own: a fixed seed stays reproducible, monitor by monitor.
    options.seed = options.seed ? *options.seed + pids_.size() + 1 : std::random_device{}();
    const pid_t parent = getpid();
    // Nothing buffered is written twice.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
      std::cerr << "zolven-taris: cannot start the scene of a monitor; it stays uncovered\n";
      return;
    }
    if (pid > 0) {
      pids_.push_back(pid);
      return;
    }
    // The child: it ends with the parent, and its end ends the parent.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(0);
    int status = 1;
    {
      X11ScreenOptions x11;
      x11.area = area;
      x11.force_8bit = options.colors256;
      x11.warp_pointer = false;
      FormOptions form_options;
      form_options.music = false;
      form_options.single_instance = false;
      status = RunOnX11(x11, options, host, form_options, nullptr);
    }
    // A click or key here ends the whole program; a monitor that could not
    // be drawn on only stays uncovered.
    if (status == 0) kill(parent, SIGTERM);
    std::cout.flush();
    std::cerr.flush();
    _exit(status);
  }

 private:
  std::vector<pid_t> pids_;
};

int RunOnX11(const X11ScreenOptions& x11, const Options& options, Host& host,
             FormOptions form_options, MonitorChildren* children) {
  std::string error;
  FontRasterizer text;
  X11ScreenOptions with_text = x11;
  with_text.text = &text;
  std::unique_ptr<X11Session> session = OpenX11ScreenSession(with_text, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  const int status = RunOn(*session, options, host, form_options);
  if (children != nullptr) children->Stop();
  return status;
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
  int screen = 0;
  std::vector<RectI> monitors;
  const bool x_display = ProbeScreens(screen, monitors);
  // SDL's window can only be on the first screen, and covers one monitor.
  const bool several = !options.windowed && monitors.size() > 1;
  if (binding == ScreenBinding::kX11 || binding == ScreenBinding::kX11Indexed ||
      (x_display && (screen != 0 || several))) {
    X11ScreenOptions x11;
    x11.windowed = options.windowed;
    x11.window_width = options.window_width;
    x11.window_height = options.window_height;
    x11.force_8bit = options.colors256;
    MonitorChildren children;
    if (several) {
      const size_t chosen =
          options.monitor && *options.monitor < static_cast<int32_t>(monitors.size())
              ? static_cast<size_t>(*options.monitor)
              : 0;
      x11.area = monitors[chosen];
      for (size_t i = 0; i < monitors.size(); ++i) {
        if (i == chosen) continue;
        // --monitor N keeps the others black; by default each has a scene.
        if (options.monitor) {
          x11.covers.push_back(monitors[i]);
        } else {
          children.Start(monitors[i], options, host);
        }
      }
    }
    return RunOnX11(x11, options, host, FormOptions{}, &children);
  }

  SdlOptions sdl;
  sdl.force_8bit = options.colors256;
  sdl.display_index = options.monitor.value_or(0);
  sdl.windowed = options.windowed;
  sdl.window_width = options.window_width;
  sdl.window_height = options.window_height;
  const SdlModule* module = LoadSdlModule(error);
  if (module == nullptr) {
    std::cerr << "zolven-taris: cannot open a display (" << error << ")\n";
    return 1;
  }
  std::unique_ptr<SdlSession> session = module->open_session(sdl, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  return RunOn(*session, options, host, FormOptions{});
}

}  // namespace zt
