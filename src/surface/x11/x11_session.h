#pragma once
// Opens the X display for a hack: the window it is given (or the root
// window), a canvas of that window's size, the pump and the clock, torn
// down in order when the session ends. On an 8-bit PseudoColor screen it
// also makes the program's own window, which SDL cannot show there.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "surface/platform.h"
#include "surface/x11/x11_pixels.h"

namespace zt {

class X11Canvas;
class X11Events;
class TextRasterizer;

struct X11Options {
  // The screen's root window, else `window`.
  bool root = true;
  uint64_t window = 0;
  // Behave as a display of 8 bits per pixel.
  bool force_8bit = false;
  // Where text comes from; it must outlive the session. Null leaves text out.
  TextRasterizer* text = nullptr;
};

// The program's own window, where SDL's cannot be: on an 8-bit PseudoColor
// screen, on a screen other than the first, on one monitor of several.
struct X11ScreenOptions {
  // An ordinary window of the given size instead of the full-screen one.
  bool windowed = false;
  int32_t window_width = 800;
  int32_t window_height = 600;
  // As in X11Options.
  TextRasterizer* text = nullptr;
  // The part of the screen the full-screen window covers; empty: all of it.
  RectI area{};
  // Black windows over these parts, which end the program as the window does.
  std::vector<RectI> covers;
  // Behave as a display of 8 bits per pixel (on a direct-colour screen).
  bool force_8bit = false;
  // The exit puts the pointer at the window's centre.
  bool warp_pointer = true;
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

// Which binding shows the program's window on the display SDL would open:
// on an X screen our own window, unless SDL_VIDEODRIVER names a driver of
// SDL's or the default visual is one only SDL can draw in; SDL elsewhere.
// `error` is a one-line message when no binding can.
ScreenBinding ProbeScreenBinding(std::string& error);

// What the full-screen window meets on the display DISPLAY names: the
// default screen's number and its monitors (never empty). False when no X
// display answers.
bool ProbeScreens(int& screen, std::vector<RectI>& monitors);

// The program's own window on the default screen of the display DISPLAY
// names, with a private colormap on an 8-bit PseudoColor screen; the
// canvas, the pump (clicks, keys, close requests, signals) and the clock.
// Null with a one-line `error` when it cannot be made.
std::unique_ptr<X11Session> OpenX11ScreenSession(const X11ScreenOptions& options,
                                                 std::string& error);

}  // namespace zt
