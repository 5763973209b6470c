#pragma once
// Opens the real display: SDL video, the full-screen window, its canvas,
// the event pump and the clock, torn down in order when the session ends.
#include <cstdint>
#include <memory>
#include <string>

#include "surface/platform.h"

namespace zt {

class SdlCanvas;
class SdlEvents;
class SystemClock;
class TextRasterizer;

struct SdlOptions {
  // Behave as a display of 8 bits per pixel whatever the real one has.
  bool force_8bit = false;
  // Which display the window covers; 0 is the primary one.
  int32_t display_index = 0;
  // An ordinary window of the given size instead of the full-screen one:
  // not topmost, cursor left alone.
  bool windowed = false;
  int32_t window_width = 800;
  int32_t window_height = 600;
  // Text comes from here; null gives the session its own font rasterizer.
  TextRasterizer* text = nullptr;
};

class SdlSession {
 public:
  struct Parts;  // what the session owns; made by OpenSdlSession only
  explicit SdlSession(std::unique_ptr<Parts> parts);
  // Virtual, as the program reaches a session made in the loaded SDL module
  // only through its table of functions.
  virtual ~SdlSession();
  SdlSession(const SdlSession&) = delete;
  SdlSession& operator=(const SdlSession&) = delete;

  virtual SdlCanvas& canvas();
  virtual SdlEvents& events();
  virtual Clock& clock();
  // Bits per pixel of the desktop, before any forcing.
  virtual int32_t DesktopBitsPerPixel() const;

 private:
  std::unique_ptr<Parts> parts_;
};

// Null with a one-line `error` ("zolven-taris: cannot open a display (...)")
// when there is no display or the window cannot be shown.
std::unique_ptr<SdlSession> OpenSdlSession(const SdlOptions& options, std::string& error);

}  // namespace zt
