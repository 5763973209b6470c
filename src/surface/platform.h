#pragma once
// The machine as the core sees it: small interfaces, implemented by the SDL
// binding, the headless binding and the tests' doubles. Nothing here may
// include a platform header.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zt {

class SceneObserver;  // base/scene_observer.h: hooks of the render mode and tests

// The one window with its two layers: a persistent backing image and a
// transient layer on top of it.
class Canvas {
 public:
  virtual ~Canvas() = default;

  // Window and cursor.
  virtual void SetWindowStateMaximised() = 0;
  virtual void SetBackColor(Rgb color) = 0;
  virtual int32_t ShowCursor(bool show) = 0;
  // Topmost, keeping position and size.
  virtual int32_t SetWindowPosTopmost() = 0;
  virtual int32_t SetCursorPos(int32_t x, int32_t y) = 0;
  virtual void ShowWindow() = 0;
  // Bits per pixel of the display the window is on.
  virtual int32_t BitsPerPixel() = 0;

  // Screen metrics.
  virtual double ScreenWidthTwips() = 0;
  virtual double ScreenHeightTwips() = 0;
  virtual double TwipsPerPixelX() = 0;
  virtual double TwipsPerPixelY() = 0;

  // Layers. While persistent drawing is on, drawing goes into the backing
  // image; while off, onto the window. Clear with persistent drawing off drops
  // the transient drawing; with it on it wipes the backing image to black.
  virtual void SetPersistentDrawing(bool on) = 0;
  virtual void Clear() = 0;
  virtual void Refresh() = 0;

  // Solid fills through brushes; the rectangle excludes right and bottom.
  virtual BrushHandle CreateSolidBrush(ColorRef color) = 0;
  virtual int32_t FillRect(const RectI& rect, BrushHandle brush) = 0;
  virtual int32_t DeleteObject(BrushHandle brush) = 0;

  // Filled box between two corners; outline style 0 solid, 5 none.
  virtual void SetOutlineStyle(int16_t style) = 0;
  virtual void FillBox(float x1, float y1, float x2, float y2, ColorRef color) = 0;

  // Pixel writes: the direct one returns the platform's result; the window's
  // own maps the colour to the realised palette on an 8-bit display.
  virtual int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) = 0;
  // SetPixelV for each point in order; returns the last call's result, or
  // `none` when there are no points. One call per spoke, not per pixel.
  virtual int32_t SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) {
    int32_t result = none;
    for (const PointI& p : points) result = SetPixelV(p.x, p.y, color);
    return result;
  }
  virtual void PSet(float x, float y, ColorRef color) = 0;

  // Text, printed at the current position (top-left) without background.
  virtual void SetFontName(std::string_view utf8_name) = 0;
  virtual void SetFontSize(float points) = 0;
  virtual void SetFontBold(bool bold) = 0;
  virtual void SetFontItalic(bool italic) = 0;
  virtual void SetForeColor(ColorRef color) = 0;
  virtual void SetCurrentX(float x) = 0;
  virtual void SetCurrentY(float y) = 0;
  virtual void Print(std::string_view text) = 0;

  // The window's 256-entry logical palette.
  virtual int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) = 0;
  virtual int32_t RealizePalette() = 0;
};

// Handlers the application registers; the pump calls them. A handler may end
// the program by throwing ProgramExit, which unwinds out of the pump.
struct EventHandlers {
  std::function<void()> click;
  std::function<void(char)> key_press;  // only keys that produce a character
  std::function<void()> query_unload;   // any request to close the window
  std::function<void()> timer1;
  // The drawable now has this size; the canvas has already taken it.
  std::function<void(int32_t width, int32_t height)> size_changed;
};

class Events {
 public:
  virtual ~Events() = default;
  virtual void SetHandlers(EventHandlers handlers) = 0;
  // Handles every pending event, then returns.
  virtual void Pump() = 0;
  // Handles events as they come for `ms` milliseconds and returns when they
  // have passed; an event that does not end the program does not shorten it.
  virtual void PumpFor(int32_t ms) = 0;
  // Blocks until an event arrives or `ms` have passed, handles pending events.
  virtual void WaitAndPump(int32_t ms) = 0;
  // The window timer Timer1.
  virtual void SetTimer1Interval(int32_t ms) = 0;
  virtual void SetTimer1Enabled(bool enabled) = 0;
  virtual int32_t Timer1Interval() const = 0;
  virtual bool Timer1Enabled() const = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(int32_t ms) = 0;
  // Seconds since local midnight, with fraction.
  virtual float Timer() = 0;
  virtual CalendarTime Now() = 0;
  // Milliseconds from an arbitrary origin, never going back.
  virtual int64_t MonotonicMs() = 0;
};

class Random {
 public:
  virtual ~Random() = default;
  // Uniform in [0, 1).
  virtual float Rnd() = 0;
  // Reseeds from the clock, unless a fixed seed was asked for.
  virtual void Randomize() = 0;
};

// A music file the player may use, and which player takes it.
struct MusicFile {
  std::string path;
  bool midi = false;
};

class Host {
 public:
  virtual ~Host() = default;
  // The music files looked for, in this order; the first that exists is
  // played. Empty: "zt-bgm.wav", then "zt-bgm.mid", in the program's folder.
  virtual std::vector<MusicFile> MusicFiles() { return {}; }
  virtual bool PreviousInstance() = 0;
  // The program's folder, without a trailing separator.
  virtual std::string AppPath() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual char PathSeparator() const { return '/'; }
};

// Flags of the wave player, as the platform numbers them.
inline constexpr uint32_t kSndAsync = 0x0001;
inline constexpr uint32_t kSndNoDefault = 0x0002;
inline constexpr uint32_t kSndLoop = 0x0008;
inline constexpr uint32_t kSndFilename = 0x20000;

class Audio {
 public:
  virtual ~Audio() = default;
  // The wave player: returns non-zero on success.
  virtual int32_t SndPlaySound(std::string_view file_name, uint32_t flags) = 0;
  // The multimedia command-string interface: 0 on success, else an error.
  // The reply is written NUL-terminated into a buffer of `reply_size`.
  virtual uint32_t MciSendString(std::string_view command, char* reply, uint32_t reply_size) = 0;
  virtual void Beep() = 0;
};

struct Platform {
  Canvas& canvas;
  Events& events;
  Clock& clock;
  Random& random;
  Host& host;
  Audio& audio;
  SceneObserver* observer = nullptr;
};

// Thrown by the exit sequence; only main() catches it.
struct ProgramExit {
  int status = 0;
};

}  // namespace zt
