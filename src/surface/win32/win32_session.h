#pragma once
// Opens the Windows display: the window (full screen over a monitor, an
// ordinary window, or a child of the screen-saver preview), black covers
// over the other monitors, the canvas, the message pump and the clock, torn
// down in order when the session ends.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "surface/platform.h"
#include "surface/win32/win32_canvas.h"

namespace zt {

class Win32Events;
class SystemClock;

struct Win32Options {
  Win32WindowKind kind = Win32WindowKind::kFullScreen;
  // Behave as a display of 8 bits per pixel whatever the real one has.
  bool force_8bit = false;
  // The monitor the drawing covers, 0 the primary one; the others are black.
  int32_t monitor = 0;
  int32_t window_width = 800, window_height = 600;
  // kPreview: the window to draw in, at its size.
  HWND parent = nullptr;
  TextRasterizer* text = nullptr;
};

class Win32Session {
 public:
  struct Parts;
  explicit Win32Session(std::unique_ptr<Parts> parts);
  ~Win32Session();
  Win32Session(const Win32Session&) = delete;
  Win32Session& operator=(const Win32Session&) = delete;

  Win32Canvas& canvas();
  Win32Events& events();
  Clock& clock();

 private:
  std::unique_ptr<Parts> parts_;
};

// The monitors' rectangles in desktop coordinates, the primary one first.
std::vector<RECT> MonitorRects();

// Null with a one-line `error` when the window cannot be made.
std::unique_ptr<Win32Session> OpenWin32Session(const Win32Options& options, std::string& error);

}  // namespace zt
