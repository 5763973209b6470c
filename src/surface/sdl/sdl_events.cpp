#include "surface/sdl/sdl_events.h"

#include <SDL_syswm.h>
#include <poll.h>

#include <algorithm>

#include "surface/events/key_class.h"
#include "surface/events/quit_signals.h"
#include "surface/xlib/x_connection.h"
#include "surface/sdl/sdl_canvas.h"

namespace zt {

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

// The X connection of the window, for waiting on it directly: SDL's own wait
// reads the connection several times over on every call, which at one wait
// per spoke is most of the program's CPU time.
struct SdlEvents::XConnection {
#if defined(SDL_VIDEO_DRIVER_X11)
  Display* display = nullptr;
  int fd = -1;
  // The full-screen window follows the screen's size (a new monitor mode)
  // where no window manager does it.
  Window root = 0;
#endif
};

SdlEvents::SdlEvents(SdlCanvas* canvas, Clock& clock) : EventEngine(clock), canvas_(canvas) {
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
  x->display = info.info.x11.display;
  x->fd = XConnectionNumber(x->display);
  if (x->fd < 0) return;
  XWindowAttributes window{};
  if (!canvas_->Windowed() && XGetWindowAttributes(x->display, info.info.x11.window, &window) != 0) {
    XWindowAttributes root{};
    if (XGetWindowAttributes(x->display, window.root, &root) != 0) {
      // Added to what SDL itself listens for on the root window.
      XSelectInput(x->display, window.root, root.your_event_mask | StructureNotifyMask);
      x->root = window.root;
    }
  }
  x_ = std::move(x);
#endif
}

SdlEvents::~SdlEvents() = default;

bool SdlEvents::WaitForNative(int64_t deadline_ms) {
  const int64_t left = deadline_ms - clock().MonotonicMs();
  if (left <= 0) return SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (x_) {
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return true;
    // A signal wakes the wait on the X connection at once, so the slices
    // can be long; each costs a few system calls.
    const int wake = QuitSignals::WakeFd();
    const int32_t ms =
        static_cast<int32_t>(std::min<int64_t>(left, wake >= 0 ? kMaxWaitSignalledMs : kMaxWaitMs));
    // Events Xlib has already read would not wake the wait.
    if (XEventsQueued(x_->display, QueuedAlready) == 0) {
      XFlush(x_->display);
      pollfd p[2] = {{x_->fd, POLLIN, 0}, {wake, POLLIN, 0}};
      const int ready = poll(p, wake >= 0 ? 2 : 1, ms);
      last_poll_ms_ = clock().MonotonicMs();
      if (ready <= 0) return false;        // the time is up, or a signal came
      if (p[1].revents != 0) return true;  // a quit signal, for the pump to take
    }
    SDL_PumpEvents();
    last_poll_ms_ = clock().MonotonicMs();
    return SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) == SDL_TRUE;
  }
#endif
  const int woke =
      SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<int64_t>(left, kMaxWaitMs)));
  // The wait reads the connection itself and queues what came.
  last_poll_ms_ = clock().MonotonicMs();
  return woke == 1;
}

void SdlEvents::Dispatch(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
      if (handlers().click) handlers().click();
      break;
    case SDL_KEYDOWN:
      if (auto c = SdlKeyCharacter(event.key.keysym.sym, event.key.keysym.mod)) {
        if (handlers().key_press) handlers().key_press(*c);
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
            if (handlers().size_changed)
              handlers().size_changed(event.window.data1, event.window.data2);
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
        XMoveResizeWindow(x_->display, x_window_, 0, 0,
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

void SdlEvents::Gather() {
  // The drawing loops pump several times in a row, each costing the X
  // connection a few system calls; the system is asked for new events at
  // most every kPollGapMs, and in between only what SDL already queued is
  // handled.
  const int64_t now = clock().MonotonicMs();
  if (now - last_poll_ms_ >= kPollGapMs || now < last_poll_ms_) {
    last_poll_ms_ = now;
    SDL_PumpEvents();
  }
}

bool SdlEvents::DispatchOne() {
  SDL_Event event;
  if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    Dispatch(event);
    return true;
  }
  // A window the server no longer knows is as good as closed.
  if (XWindowRefused(x_window_)) CloseRequested();
  return false;
}

void SdlEvents::Present() {
  if (canvas_ != nullptr) canvas_->Present();
}

}  // namespace zt
