#pragma once
// The machine as the core sees it, and the contract every binding keeps
// (headless, SDL, X11, and the tests' doubles): small interfaces, written
// down here once. tests/surface/conformance_test.cpp checks the bindings
// against it. Nothing here may include a platform header.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/spoke_target.h"
#include "base/types.h"

namespace zt {

class SceneObserver;  // base/scene_observer.h: hooks of the render mode and tests

// The one window with its two layers: a persistent backing image and a
// transient window layer on top of it. Coordinates are pixels from the
// top-left; colours are ColorRef (red in the lowest byte). Drawing outside
// the window is clipped, never an error. What is drawn reaches the screen
// by the next pump at the latest, and a window the system lost or covered
// is repainted from the window layer.
//
// In palette mode (BitsPerPixel() == 8) both layers hold palette indexes:
// every write stores the index of the realised palette entry nearest to its
// colour (Euclidean in RGB, lowest index on ties) and the screen shows each
// index through the palette realised last, so a new palette recolours what
// is already drawn.
class Canvas {
 public:
  virtual ~Canvas() = default;

  // Window and cursor.
  virtual void SetWindowStateMaximised() = 0;
  // The colour a persistent Clear wipes to; black until set.
  virtual void SetBackColor(Rgb color) = 0;
  // A counter as the platform keeps it: hidden while below zero. Returns the
  // new count. A binding that leaves the cursor alone (a window someone
  // else owns, an ordinary window) still counts.
  virtual int32_t ShowCursor(bool show) = 0;
  // Topmost, keeping position and size.
  virtual int32_t SetWindowPosTopmost() = 0;
  virtual int32_t SetCursorPos(int32_t x, int32_t y) = 0;
  virtual void ShowWindow() = 0;
  // Bits per pixel of the display the window is on; 8 selects palette mode.
  virtual int32_t BitsPerPixel() = 0;

  // Screen metrics: the window's size in twips, and twips per pixel from
  // the display's DPI (15 at 96 DPI and where the system says nothing).
  virtual double ScreenWidthTwips() = 0;
  virtual double ScreenHeightTwips() = 0;
  virtual double TwipsPerPixelX() = 0;
  virtual double TwipsPerPixelY() = 0;

  // Layers. While persistent drawing is on, every drawing operation goes
  // into the backing image only; while off, into the window layer only.
  // Clear with persistent drawing off drops everything drawn on the window
  // layer and shows the backing image again, which survives every such
  // clear. Clear with it on wipes the backing image to the back colour; the
  // screen shows that at the next Refresh or non-persistent Clear. Refresh
  // copies the backing image onto the window layer.
  virtual void SetPersistentDrawing(bool on) = 0;
  virtual void Clear() = 0;
  virtual void Refresh() = 0;

  // Solid fills through brushes; the rectangle includes left and top and
  // excludes right and bottom. FillRect and DeleteObject return 0 for an
  // unknown brush, non-zero otherwise.
  virtual BrushHandle CreateSolidBrush(ColorRef color) = 0;
  virtual int32_t FillRect(const RectI& rect, BrushHandle brush) = 0;
  virtual int32_t DeleteObject(BrushHandle brush) = 0;

  // Filled box between two corners in either order, each rounded to the
  // nearest pixel (ties to even). Outline style 0 (solid) covers both
  // corners' rows and columns; 5 (none) leaves the far right column and
  // bottom row uncovered.
  virtual void SetOutlineStyle(int16_t style) = 0;
  virtual void FillBox(float x1, float y1, float x2, float y2, ColorRef color) = 0;

  // Pixel writes. SetPixelV writes one pixel and returns non-zero, or 0 for
  // a pixel outside the window (nothing is written). PSet is the window's
  // own pixel setting: the pixel whose square holds (x, y), coordinates
  // taken towards minus infinity; outside or not finite, nothing.
  virtual int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) = 0;
  // SetPixelV for each point in order; returns the last call's result, or
  // `none` when there are no points. One call per spoke, not per pixel.
  virtual int32_t SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) {
    int32_t result = none;
    for (const PointI& p : points) result = SetPixelV(p.x, p.y, color);
    return result;
  }
  virtual void PSet(float x, float y, ColorRef color) = 0;
  // A canvas that lets the spokes write its window cells themselves gives
  // them here; nullptr (the default) has them drawn through SetPixelsV.
  virtual SpokeTarget* SpokeCells() { return nullptr; }

  // Text. Print draws one line in the fore colour with the current font,
  // its em box's top-left corner at the current position (taken towards
  // minus infinity), nothing above or left of it, and no background: the
  // pixels between the strokes keep what they showed. The size in points
  // becomes pixels through TwipsPerPixelY (20 twips a point). Without a
  // usable font nothing is drawn. Afterwards the current position is at the
  // start of the next line: x 0, y down by the line's height.
  virtual void SetFontName(std::string_view utf8_name) = 0;
  virtual void SetFontSize(float points) = 0;
  virtual void SetFontBold(bool bold) = 0;
  virtual void SetFontItalic(bool italic) = 0;
  virtual void SetForeColor(ColorRef color) = 0;
  virtual void SetCurrentX(float x) = 0;
  virtual void SetCurrentY(float y) = 0;
  virtual void Print(std::string_view text) = 0;

  // The window's 256-entry logical palette. SetPaletteEntries stores
  // entries [start, start + count) clipped to 256 and returns how many it
  // stored (0 for bad arguments); nothing changes on the screen until
  // RealizePalette, which returns how many entries changed. Outside palette
  // mode the palette is kept and plays no part.
  virtual int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) = 0;
  virtual int32_t RealizePalette() = 0;
};

// Handlers the application registers; only a pump calls them, on the one
// thread. A handler may end the program by throwing ProgramExit: it unwinds
// out of the pump that called it, whichever it was, and the interrupted
// loop never resumes; the binding stays usable for its teardown.
struct EventHandlers {
  // Any mouse button.
  std::function<void()> click;
  // Only keys that type a character (surface/events/key_class.h).
  std::function<void(char)> key_press;
  // The close path, run once however many requests come: the window's
  // close button, SIGTERM, SIGINT or SIGHUP, and a lost window (destroyed
  // under the program) all count as a request.
  std::function<void()> query_unload;
  std::function<void()> timer1;
  // The drawable now has this size: called from a pump when the window's
  // size changes after start-up (a resized window, a new screen mode). The
  // canvas reports the new size by then; the application restarts the
  // scene at it.
  std::function<void(int32_t width, int32_t height)> size_changed;
};

// Pumps. Every wait is on the event queue and ends at its deadline on the
// clock's MonotonicMs; an input, a close request or a signal is handled at
// the latest by the pump that follows it. Each pump shows what was drawn.
// Timer1 ticks only inside pumps: once its interval has passed since it was
// enabled (or its interval set) or since its last tick, one tick however
// late, so ticks never pile up; interval 0 or disabled, none.
class Events {
 public:
  virtual ~Events() = default;
  virtual void SetHandlers(EventHandlers handlers) = 0;
  // Handles every pending event and a due Timer1 tick, then returns.
  virtual void Pump() = 0;
  // Handles events as they come for `ms` milliseconds and returns when they
  // have passed; an event that does not end the program does not shorten it.
  virtual void PumpFor(int32_t ms) = 0;
  // Waits until an event arrives, a signal comes, Timer1 is due or `ms`
  // have passed, whichever is first, then pumps once.
  virtual void WaitAndPump(int32_t ms) = 0;
  // The window timer Timer1. Setting the interval restarts it; enabling a
  // disabled timer starts a new interval.
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
