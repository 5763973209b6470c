#include "surface/sdl/sdl_events.h"

#include <SDL_syswm.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "surface/key_class.h"
#include "surface/sdl/display_guard.h"
#include "surface/sdl/sdl_canvas.h"

namespace zt {
namespace {

volatile std::sig_atomic_t g_quit_signal = 0;
// Written to by the handler so a wait on the X connection wakes up even when
// the signal lands between the flag check and the wait.
int g_wake_pipe[2] = {-1, -1};

void Wake() {
  if (g_wake_pipe[1] < 0) return;
  const char byte = 1;
  // A full pipe already holds a wake-up.
  if (write(g_wake_pipe[1], &byte, 1) < 0) return;
}

extern "C" void OnQuitSignal(int) {
  const int saved = errno;
  g_quit_signal = 1;
  Wake();
  errno = saved;
}

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[3];

}  // namespace

std::optional<char> SdlKeyCharacter(SDL_Keycode key, Uint16 modifiers) {
  const bool num_lock = (modifiers & KMOD_NUM) != 0;
  int32_t code = key;
  switch (key) {
    case SDLK_KP_ENTER:
      code = '\r';
      break;
    case SDLK_KP_DIVIDE:
      code = '/';
      break;
    case SDLK_KP_MULTIPLY:
      code = '*';
      break;
    case SDLK_KP_MINUS:
      code = '-';
      break;
    case SDLK_KP_PLUS:
      code = '+';
      break;
    case SDLK_KP_EQUALS:
      code = '=';
      break;
    case SDLK_KP_PERIOD:
      code = num_lock ? '.' : kNonCharacterKey;
      break;
    default:
      // Keypad digits type only with Num Lock on; otherwise they move.
      if (key >= SDLK_KP_1 && key <= SDLK_KP_9) code = num_lock ? '1' + (key - SDLK_KP_1) : key;
      if (key == SDLK_KP_0) code = num_lock ? '0' : key;
      break;
  }
  return KeyCharacter(code, (modifiers & (KMOD_ALT | KMOD_GUI)) != 0);
}

QuitSignals::QuitSignals() {
  g_quit_signal = 0;
  if (pipe2(g_wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) g_wake_pipe[0] = g_wake_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kQuitSignals[i], &action, &g_previous[i]);
}

QuitSignals::~QuitSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kQuitSignals[i], &g_previous[i], nullptr);
  for (int& fd : g_wake_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

bool QuitSignals::Take() {
  if (g_quit_signal == 0) return false;
  g_quit_signal = 0;
  char drain[16];
  while (g_wake_pipe[0] >= 0 && read(g_wake_pipe[0], drain, sizeof drain) > 0) {
  }
  return true;
}

void QuitSignals::Raise() {
  g_quit_signal = 1;
  Wake();
}

int QuitSignals::WakeFd() { return g_wake_pipe[0]; }

// The X connection of the window, for waiting on it directly: SDL's own wait
// reads the connection several times over on every call, which at one wait
// per spoke is most of the program's CPU time. Xlib is reached through the
// library SDL loaded.
struct SdlEvents::XConnection {
#if defined(SDL_VIDEO_DRIVER_X11)
  void* library = nullptr;
  Display* display = nullptr;
  int fd = -1;
  int (*events_queued)(Display*, int) = nullptr;
  int (*flush)(Display*) = nullptr;
  // The full-screen window follows the screen's size (a new monitor mode)
  // where no window manager does it.
  Window root = 0;
  int (*move_resize)(Display*, Window, int, int, unsigned, unsigned) = nullptr;
#endif
  ~XConnection() {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (library != nullptr) SDL_UnloadObject(library);
#endif
  }
};

SdlEvents::SdlEvents(SdlCanvas* canvas) : canvas_(canvas) {
  // Keys are read as key presses; no text-input machinery is needed.
  SDL_StopTextInput();
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (canvas_ == nullptr || SDL_GetWindowWMInfo(canvas_->Window(), &info) != SDL_TRUE ||
      info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  // Another client destroying the window is a close request; SDL passes
  // that on only as a raw window-system event, or as refused requests.
  x_window_ = info.info.x11.window;
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  auto x = std::make_unique<XConnection>();
  x->library = SDL_LoadObject("libX11.so.6");
  if (x->library == nullptr) return;
  auto number =
      reinterpret_cast<int (*)(Display*)>(SDL_LoadFunction(x->library, "XConnectionNumber"));
  x->events_queued =
      reinterpret_cast<int (*)(Display*, int)>(SDL_LoadFunction(x->library, "XEventsQueued"));
  x->flush = reinterpret_cast<int (*)(Display*)>(SDL_LoadFunction(x->library, "XFlush"));
  if (number == nullptr || x->events_queued == nullptr || x->flush == nullptr) return;
  x->display = info.info.x11.display;
  x->fd = number(x->display);
  if (x->fd < 0) return;
  using AttributesFn = Status (*)(Display*, Window, XWindowAttributes*);
  using SelectFn = int (*)(Display*, Window, long);
  auto attributes =
      reinterpret_cast<AttributesFn>(SDL_LoadFunction(x->library, "XGetWindowAttributes"));
  auto select = reinterpret_cast<SelectFn>(SDL_LoadFunction(x->library, "XSelectInput"));
  x->move_resize = reinterpret_cast<int (*)(Display*, Window, int, int, unsigned, unsigned)>(
      SDL_LoadFunction(x->library, "XMoveResizeWindow"));
  XWindowAttributes window{};
  if (!canvas_->Windowed() && attributes != nullptr && select != nullptr &&
      x->move_resize != nullptr && attributes(x->display, info.info.x11.window, &window) != 0) {
    XWindowAttributes root{};
    if (attributes(x->display, window.root, &root) != 0) {
      // Added to what SDL itself listens for on the root window.
      select(x->display, window.root, root.your_event_mask | StructureNotifyMask);
      x->root = window.root;
    }
  }
  x_ = std::move(x);
#endif
}

SdlEvents::~SdlEvents() = default;

int SdlEvents::WaitForEvents(int32_t ms) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (x_) {
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return 1;
    // Events Xlib has already read would not wake the wait.
    if (x_->events_queued(x_->display, 0 /* QueuedAlready */) == 0) {
      x_->flush(x_->display);
      pollfd p[2] = {{x_->fd, POLLIN, 0}, {QuitSignals::WakeFd(), POLLIN, 0}};
      const int ready = poll(p, p[1].fd >= 0 ? 2 : 1, ms);
      last_poll_ms_ = SDL_GetTicks64();
      if (ready <= 0) return 0;         // the time is up, or a signal came
      if (p[1].revents != 0) return 1;  // a quit signal, for the pump to take
    }
    SDL_PumpEvents();
    last_poll_ms_ = SDL_GetTicks64();
    return SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) ? 1 : 0;
  }
#endif
  const int woke = SDL_WaitEventTimeout(nullptr, ms);
  // The wait reads the connection itself and queues what came.
  last_poll_ms_ = SDL_GetTicks64();
  return woke;
}

int32_t SdlEvents::MaxWaitMs() const {
#if defined(SDL_VIDEO_DRIVER_X11)
  // A signal wakes the wait on the X connection at once: no need to slice
  // it, and each slice costs a few system calls.
  if (x_ && QuitSignals::WakeFd() >= 0) return kMaxWaitSignalledMs;
#endif
  return kMaxWaitMs;
}

void SdlEvents::CloseRequested() {
  if (handlers_.query_unload) handlers_.query_unload();
}

void SdlEvents::Dispatch(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (handlers_.click) handlers_.click();
      break;
    case SDL_KEYDOWN:
      if (auto c = SdlKeyCharacter(event.key.keysym.sym, event.key.keysym.mod)) {
        if (handlers_.key_press) handlers_.key_press(*c);
      }
      break;
    case SDL_QUIT:
      CloseRequested();
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          CloseRequested();
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // The picture starts over at the new size rather than being
          // stretched or cut.
          if (canvas_ != nullptr && event.window.data1 > 0 && event.window.data2 > 0 &&
              (event.window.data1 != canvas_->Width() || event.window.data2 != canvas_->Height())) {
            canvas_->Resize(event.window.data1, event.window.data2);
            if (handlers_.size_changed)
              handlers_.size_changed(event.window.data1, event.window.data2);
          }
          if (canvas_ != nullptr) canvas_->Invalidate();
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
          if (canvas_ != nullptr) canvas_->Invalidate();
          break;
        default:
          break;
      }
      break;
#if defined(SDL_VIDEO_DRIVER_X11)
    case SDL_SYSWMEVENT:
      if (event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11) break;
      if (const XEvent& xevent = event.syswm.msg->msg.x11.event;
          x_window_ != 0 && xevent.type == DestroyNotify &&
          xevent.xdestroywindow.window == x_window_) {
        CloseRequested();
      } else if (x_ && x_->root != 0 && xevent.type == ConfigureNotify &&
                 xevent.xconfigure.window == x_->root) {
        // The screen changed size: the window takes the new size, and the
        // size change that follows starts the scene over.
        x_->move_resize(x_->display, x_window_, 0, 0,
                        static_cast<unsigned>(xevent.xconfigure.width),
                        static_cast<unsigned>(xevent.xconfigure.height));
      }
      break;
#endif
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      if (canvas_ != nullptr) canvas_->Invalidate();
      break;
    default:
      break;
  }
}

void SdlEvents::Pump() {
  if (canvas_ != nullptr) canvas_->Present();
  if (QuitSignals::Take()) CloseRequested();
  SDL_Event event;
  // The drawing loops pump several times in a row, each costing the X
  // connection a few system calls; the system is asked for new events at
  // most every kPollGapMs, and in between only what SDL already queued is
  // handled.
  const uint64_t now = SDL_GetTicks64();
  if (now - last_poll_ms_ >= kPollGapMs || now < last_poll_ms_) {
    last_poll_ms_ = now;
    SDL_PumpEvents();
  }
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    Dispatch(event);
  }
  // A window the server no longer knows is as good as closed.
  if (XWindowRefused(x_window_)) CloseRequested();
  FireTimerIfDue();
  // Repaints asked for by the events just handled.
  if (canvas_ != nullptr) canvas_->Present();
}

int64_t SdlEvents::UntilTimer(uint64_t now) const {
  if (!timer_enabled_ || timer_interval_ <= 0) return -1;
  return timer_due_ > now ? static_cast<int64_t>(timer_due_ - now) : 0;
}

void SdlEvents::FireTimerIfDue() {
  const uint64_t now = SDL_GetTicks64();
  if (UntilTimer(now) != 0) return;
  // One tick however late: ticks do not pile up.
  timer_due_ = now + static_cast<uint64_t>(timer_interval_);
  if (handlers_.timer1) handlers_.timer1();
}

void SdlEvents::PumpFor(int32_t ms) {
  const uint64_t deadline = SDL_GetTicks64() + static_cast<uint64_t>(std::max(ms, 0));
  Pump();
  for (;;) {
    const uint64_t now = SDL_GetTicks64();
    if (now >= deadline) return;
    int64_t wait = static_cast<int64_t>(deadline - now);
    const int64_t timer = UntilTimer(now);
    if (timer >= 0) wait = std::min(wait, timer);
    wait = std::min<int64_t>(wait, MaxWaitMs());
    if (wait > 0) WaitForEvents(static_cast<int32_t>(wait));
    Pump();
  }
}

void SdlEvents::WaitAndPump(int32_t ms) {
  const uint64_t deadline = SDL_GetTicks64() + static_cast<uint64_t>(std::max(ms, 0));
  if (canvas_ != nullptr) canvas_->Present();
  // Short slices so a termination signal is noticed within one of them.
  for (;;) {
    const uint64_t now = SDL_GetTicks64();
    if (now >= deadline || g_quit_signal != 0) break;
    int64_t wait = std::min<int64_t>(static_cast<int64_t>(deadline - now), MaxWaitMs());
    const int64_t timer = UntilTimer(now);
    if (timer >= 0) wait = std::min(wait, timer);
    if (wait <= 0) break;
    if (WaitForEvents(static_cast<int32_t>(wait)) == 1) break;
  }
  Pump();
}

void SdlEvents::SetTimer1Interval(int32_t ms) {
  timer_interval_ = ms;
  timer_due_ = SDL_GetTicks64() + static_cast<uint64_t>(std::max(ms, 0));
}

void SdlEvents::SetTimer1Enabled(bool enabled) {
  if (enabled && !timer_enabled_) {
    timer_due_ = SDL_GetTicks64() + static_cast<uint64_t>(std::max(timer_interval_, 0));
  }
  timer_enabled_ = enabled;
}

}  // namespace zt
