#pragma once
// Opens the X display for a hack: the window it is given (or the root
// window), a canvas of that window's size, the pump and the clock, torn
// down in order when the session ends.
#include <cstdint>
#include <memory>
#include <string>

#include "surface/platform.h"

namespace zt {

class X11Canvas;
class X11Events;

struct X11Options {
  // The screen's root window, else `window`.
  bool root = true;
  uint64_t window = 0;
  // Behave as a display of 8 bits per pixel.
  bool force_8bit = false;
};

class X11Session {
 public:
  struct Parts;  // what the session owns; made by OpenX11Session only
  explicit X11Session(std::unique_ptr<Parts> parts);
  ~X11Session();
  X11Session(const X11Session&) = delete;
  X11Session& operator=(const X11Session&) = delete;

  X11Canvas& canvas();
  X11Events& events();
  Clock& clock();
  uint64_t WindowId() const;

 private:
  std::unique_ptr<Parts> parts_;
};

// Null with a one-line `error` when there is no display, no such window or
// its visual cannot be drawn in.
std::unique_ptr<X11Session> OpenX11Session(const X11Options& options, std::string& error);

}  // namespace zt
