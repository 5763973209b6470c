#include "surface/x11/x11_events.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>

#include "surface/key_class.h"
#include "surface/sdl/sdl_events.h"
#include "surface/x11/x11_canvas.h"

namespace zt {
namespace {

using XErrorHandlerFn = int (*)(Display*, XErrorEvent*);

XErrorHandlerFn g_previous_handler = nullptr;
// Xlib calls the handler on the one thread that talks to the display.
Window g_gone_window = 0;
bool g_any_gone = false;
int64_t g_errors = 0;

extern "C" int OnXError(Display*, XErrorEvent* event) {
  ++g_errors;
  if (event->error_code == BadWindow || event->error_code == BadDrawable) {
    g_gone_window = event->resourceid;
    g_any_gone = true;
  }
  return 0;
}

// The code a keysym stands for in the numbering of key_class.h.
int32_t KeysymCode(unsigned long keysym) {
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      return '\r';
    case XK_Escape:
      return 27;
    case XK_BackSpace:
      return 8;
    case XK_Tab:
    case XK_KP_Tab:
    case XK_ISO_Left_Tab:
      return '\t';
    case XK_KP_Space:
      return ' ';
    case XK_KP_Equal:
      return '=';
    case XK_KP_Multiply:
      return '*';
    case XK_KP_Add:
      return '+';
    case XK_KP_Separator:
      return ',';
    case XK_KP_Subtract:
      return '-';
    case XK_KP_Decimal:
      return '.';
    case XK_KP_Divide:
      return '/';
    default:
      break;
  }
  // XLookupString already chose digit or movement by Num Lock.
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int32_t>('0' + (keysym - XK_KP_0));
  // Latin-1 keysyms are their own code points; Unicode keysyms carry one.
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
    return static_cast<int32_t>(keysym);
  }
  if ((keysym & 0xFF000000ul) == 0x01000000ul) return static_cast<int32_t>(keysym & 0xFFFFFF);
  // The legacy character sets (Latin-2 to Hangul) type characters; the
  // ranges from 0xFE00 up are dead keys, modifiers and function keys.
  if (keysym >= 0x100 && keysym < 0xFE00) return 0xFFFD;
  return kNonCharacterKey | static_cast<int32_t>(keysym & 0xFFFFFF);
}

}  // namespace

std::optional<char> X11KeyCharacter(unsigned long keysym, unsigned int state) {
  return KeyCharacter(KeysymCode(keysym), (state & (Mod1Mask | Mod4Mask)) != 0);
}

X11ErrorTrap::X11ErrorTrap() {
  g_gone_window = 0;
  g_any_gone = false;
  g_errors = 0;
  g_previous_handler = XSetErrorHandler(OnXError);
}

X11ErrorTrap::~X11ErrorTrap() { XSetErrorHandler(g_previous_handler); }

bool X11ErrorTrap::WindowGone(Window window) { return g_any_gone && g_gone_window == window; }

int64_t X11ErrorTrap::ErrorCount() { return g_errors; }

X11Events::X11Events(Display* display, Window window, X11Canvas* canvas, Clock& clock)
    : display_(display), window_(window), canvas_(canvas), clock_(clock) {}

void X11Events::CloseRequested() {
  // The close path runs once; it normally ends the program from inside.
  if (closing_) return;
  closing_ = true;
  if (handlers_.query_unload) handlers_.query_unload();
}

bool X11Events::QuitPending() {
  if (QuitSignals::Take()) quit_pending_ = true;
  return quit_pending_;
}

void X11Events::AcceptCloseRequests(Atom protocols, Atom delete_window) {
  wm_protocols_ = protocols;
  wm_delete_window_ = delete_window;
}

void X11Events::Dispatch(const XEvent& event) {
  switch (event.type) {
    case ButtonPress:
      if (handlers_.click) handlers_.click();
      break;
    case KeyPress: {
      XKeyEvent key = event.xkey;
      char text[8];
      KeySym keysym = NoSymbol;
      XLookupString(&key, text, sizeof text, &keysym, nullptr);
      if (auto c = X11KeyCharacter(keysym, key.state)) {
        if (handlers_.key_press) handlers_.key_press(*c);
      }
      break;
    }
    case ClientMessage:
      if (wm_protocols_ != 0 && event.xclient.message_type == wm_protocols_ &&
          event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_window_) {
        CloseRequested();
      }
      break;
    case ColormapNotify:
      if (event.xcolormap.window == window_ && event.xcolormap.state == ColormapUninstalled &&
          !event.xcolormap.c_new && canvas_ != nullptr) {
        canvas_->ColormapLost();
      }
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) CloseRequested();
      break;
    case Expose:
      if (event.xexpose.count == 0 && canvas_ != nullptr) canvas_->Invalidate();
      break;
    case MapNotify:
      // An unmapped window loses what was shown unless the server kept it.
      if (canvas_ != nullptr) canvas_->Invalidate();
      break;
    case ConfigureNotify:
      // The picture starts over at the new size rather than being cut.
      if (event.xconfigure.window == window_ && canvas_ != nullptr && event.xconfigure.width > 0 &&
          event.xconfigure.height > 0 &&
          (event.xconfigure.width != canvas_->Width() ||
           event.xconfigure.height != canvas_->Height())) {
        canvas_->Resize(event.xconfigure.width, event.xconfigure.height);
        if (handlers_.size_changed) {
          handlers_.size_changed(event.xconfigure.width, event.xconfigure.height);
        }
      }
      break;
    default:
      break;
  }
}

void X11Events::Pump() {
  if (canvas_ != nullptr) canvas_->Present();
  if (QuitPending()) CloseRequested();
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Dispatch(event);
  }
  if (X11ErrorTrap::WindowGone(window_)) CloseRequested();
  FireTimerIfDue();
  if (canvas_ != nullptr) canvas_->Present();
  XFlush(display_);
}

bool X11Events::WaitForX(int32_t ms) {
  XFlush(display_);
  if (XPending(display_) > 0) return true;
  pollfd fd{ConnectionNumber(display_), POLLIN, 0};
  // Interrupted by a signal counts as woken: the pump looks at it next.
  return poll(&fd, 1, std::max(ms, 0)) != 0;
}

int64_t X11Events::UntilTimer(int64_t now) const {
  if (!timer_enabled_ || timer_interval_ <= 0) return -1;
  return std::max<int64_t>(timer_due_ - now, 0);
}

void X11Events::FireTimerIfDue() {
  const int64_t now = clock_.MonotonicMs();
  if (UntilTimer(now) != 0) return;
  // One tick however late: ticks do not pile up.
  timer_due_ = now + timer_interval_;
  if (handlers_.timer1) handlers_.timer1();
}

void X11Events::PumpFor(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  Pump();
  for (;;) {
    const int64_t now = clock_.MonotonicMs();
    if (now >= deadline) return;
    int64_t wait = std::min<int64_t>(deadline - now, kMaxWaitMs);
    const int64_t timer = UntilTimer(now);
    if (timer >= 0) wait = std::min(wait, timer);
    if (wait > 0) WaitForX(static_cast<int32_t>(wait));
    Pump();
  }
}

void X11Events::WaitAndPump(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  if (canvas_ != nullptr) canvas_->Present();
  for (;;) {
    const int64_t now = clock_.MonotonicMs();
    if (now >= deadline || QuitPending()) break;
    int64_t wait = std::min<int64_t>(deadline - now, kMaxWaitMs);
    const int64_t timer = UntilTimer(now);
    if (timer >= 0) wait = std::min(wait, timer);
    if (wait <= 0) break;
    if (WaitForX(static_cast<int32_t>(wait)) && XPending(display_) > 0) break;
  }
  Pump();
}

void X11Events::SetTimer1Interval(int32_t ms) {
  timer_interval_ = ms;
  timer_due_ = clock_.MonotonicMs() + std::max(ms, 0);
}

void X11Events::SetTimer1Enabled(bool enabled) {
  if (enabled && !timer_enabled_) timer_due_ = clock_.MonotonicMs() + std::max(timer_interval_, 0);
  timer_enabled_ = enabled;
}

}  // namespace zt
