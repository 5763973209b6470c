#pragma once
// The pump for an X window. A hack's window takes no input: the window
// going away and the termination signals run the close path. The program's
// own window also reports clicks, character keys and close requests.
#include <X11/Xlib.h>

#include <cstdint>
#include <optional>

#include "surface/events/event_engine.h"

namespace zt {

class X11Canvas;

// The character a key press types, from the keysym XLookupString gave and
// the event's modifier state; nothing for keys that type none (modifiers
// alone, arrows, function keys, keypad keys without Num Lock).
std::optional<char> X11KeyCharacter(unsigned long keysym, unsigned int state);

// Records X protocol errors instead of ending the process, as Xlib's own
// handler would: a window destroyed under us makes every later request on
// it fail. Installed while it lives.
class X11ErrorTrap {
 public:
  X11ErrorTrap();
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
  // True once a request on `window` failed because it no longer exists.
  static bool WindowGone(Window window);
  // The number of errors seen since the trap was set.
  static int64_t ErrorCount();
};

class X11Events : public EventEngine {
 public:
  // `canvas` may be null (nothing to present).
  X11Events(Display* display, Window window, X11Canvas* canvas, Clock& clock);

  // The window manager's close button (WM_DELETE_WINDOW in a WM_PROTOCOLS
  // message) runs the close path.
  void AcceptCloseRequests(Atom protocols, Atom delete_window);
  // The window covers the whole screen of `root` and takes each new size of
  // it, as a monitor's mode changes.
  void FollowScreen(Window root);

  // Handles one event as the pump does.
  void Dispatch(const XEvent& event);

 private:
  bool WaitForNative(int64_t deadline_ms) override;
  bool DispatchOne() override;
  void Gather() override;
  void Present() override;
  // Whether the connection has something to read, without reading it.
  bool Readable() const;
  // Sends what was asked of the server since the last flush.
  void Flush();

  Display* display_;
  Window window_;
  Window followed_root_ = 0;
  bool read_this_pump_ = false;
  bool idle_after_wait_ = false;
  bool flush_read_ = false;  // since this pump's first repaint
  unsigned long flushed_request_ = 0;
  X11Canvas* canvas_;
  Atom wm_protocols_ = 0;
  Atom wm_delete_window_ = 0;
};

}  // namespace zt
