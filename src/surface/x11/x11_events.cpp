#include "surface/x11/x11_events.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>

#include "surface/events/key_class.h"
#include "surface/events/quit_signals.h"
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
    : EventEngine(clock), display_(display), window_(window), canvas_(canvas) {}

void X11Events::AcceptCloseRequests(Atom protocols, Atom delete_window) {
  wm_protocols_ = protocols;
  wm_delete_window_ = delete_window;
}

void X11Events::FollowScreen(Window root) {
  followed_root_ = root;
  XSelectInput(display_, root, StructureNotifyMask);
}

void X11Events::Dispatch(const XEvent& event) {
  switch (event.type) {
    case ButtonPress:
      if (handlers().click) handlers().click();
      break;
    case KeyPress: {
      XKeyEvent key = event.xkey;
      char text[8];
      KeySym keysym = NoSymbol;
      XLookupString(&key, text, sizeof text, &keysym, nullptr);
      if (auto c = X11KeyCharacter(keysym, key.state)) {
        if (handlers().key_press) handlers().key_press(*c);
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
      if (followed_root_ != 0 && event.xconfigure.window == followed_root_) {
        XMoveResizeWindow(display_, window_, 0, 0, static_cast<unsigned>(event.xconfigure.width),
                          static_cast<unsigned>(event.xconfigure.height));
        break;
      }
      // The picture starts over at the new size rather than being cut.
      if (event.xconfigure.window == window_ && canvas_ != nullptr && event.xconfigure.width > 0 &&
          event.xconfigure.height > 0 &&
          (event.xconfigure.width != canvas_->Width() ||
           event.xconfigure.height != canvas_->Height())) {
        canvas_->Resize(event.xconfigure.width, event.xconfigure.height);
        if (handlers().size_changed) {
          handlers().size_changed(event.xconfigure.width, event.xconfigure.height);
        }
      }
      break;
    default:
      break;
  }
}

bool X11Events::DispatchOne() {
  // What Xlib holds already, then one read of the connection: each read
  // that finds nothing is a system call, and a pump makes only one.
  if (XEventsQueued(display_, QueuedAlready) > 0 ||
      (!read_this_pump_ && Readable() && XEventsQueued(display_, QueuedAfterReading) > 0)) {
    XEvent event;
    XNextEvent(display_, &event);
    Dispatch(event);
    return true;
  }
  read_this_pump_ = true;
  // A request on a window destroyed under us failed.
  if (X11ErrorTrap::WindowGone(window_)) CloseRequested();
  return false;
}

void X11Events::Gather() {
  // A wait that just timed out saw nothing to read, and a flush at the
  // start of this pump read what there was.
  read_this_pump_ = idle_after_wait_ || flush_read_;
  idle_after_wait_ = false;
}

void X11Events::Present() {
  flush_read_ = false;
  if (canvas_ != nullptr) canvas_->Present();
  Flush();
}

void X11Events::Flush() {
  // Xlib's flush also tries two reads of the connection; most pumps and
  // waits have made no request since the last one.
  const unsigned long next = XNextRequest(display_);
  if (next == flushed_request_) return;
  flushed_request_ = next;
  // Xlib's flush reads what the server has sent into its queue.
  XFlush(display_);
  flush_read_ = true;
}

bool X11Events::Readable() const {
  pollfd p{ConnectionNumber(display_), POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

bool X11Events::WaitForNative(int64_t deadline_ms) {
  Flush();
  // Events not yet read wake the poll below.
  if (XEventsQueued(display_, QueuedAlready) > 0) return true;
  const int64_t left = deadline_ms - clock().MonotonicMs();
  if (left <= 0) return false;
  const int wake = QuitSignals::WakeFd();
  // Without the wake-up pipe a signal is noticed within one short slice.
  const int64_t slice = wake >= 0 ? 1000 : 50;
  pollfd p[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake, POLLIN, 0}};
  const int ready = poll(p, wake >= 0 ? 2 : 1, static_cast<int>(std::min(left, slice)));
  if (ready <= 0) {
    idle_after_wait_ = ready == 0;
    return false;
  }
  return p[1].revents != 0 || XEventsQueued(display_, QueuedAfterReading) > 0;
}

}  // namespace zt
