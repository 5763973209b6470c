#pragma once
// Small test doubles of the platform interfaces: they record what the core
// asks of the machine, and let a test script time, input and random numbers.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "surface/platform.h"

namespace zt::test {

struct PixelWrite {
  int32_t x = 0;
  int32_t y = 0;
  ColorRef color = 0;
  bool direct = true;  // SetPixelV (true) or PSet (false)
  friend bool operator==(const PixelWrite&, const PixelWrite&) = default;
};

struct TextPrint {
  std::string text;
  float x = 0, y = 0, size = 0;
  bool bold = false, italic = false;
  ColorRef color = 0;
  std::string font;
};

// Records every call as one line in `log`, and pixels and texts in order.
class FakeCanvas : public Canvas {
 public:
  int32_t bits_per_pixel = 32;
  int32_t width = 800, height = 600;
  double twips_per_pixel = 15;
  bool persistent = false;
  bool cursor_visible = true;
  int32_t cursor_x = -1, cursor_y = -1;
  int16_t outline_style = 0;
  std::vector<std::string> log;
  std::vector<PixelWrite> pixels;
  std::vector<TextPrint> texts;
  std::vector<PaletteEntry> loaded_palette;

  void SetWindowStateMaximised() override { log.push_back("maximise"); }
  void SetBackColor(Rgb c) override {
    log.push_back("backcolor " + std::to_string(PackRgb(c.red, c.green, c.blue)));
  }
  int32_t ShowCursor(bool show) override {
    cursor_visible = show;
    log.push_back(show ? "cursor show" : "cursor hide");
    return show ? 0 : -1;
  }
  int32_t SetWindowPosTopmost() override {
    log.push_back("topmost");
    return 1;
  }
  int32_t SetCursorPos(int32_t x, int32_t y) override {
    cursor_x = x;
    cursor_y = y;
    log.push_back("cursor " + std::to_string(x) + "," + std::to_string(y));
    return 1;
  }
  void ShowWindow() override { log.push_back("show"); }
  int32_t BitsPerPixel() override { return bits_per_pixel; }
  double ScreenWidthTwips() override { return width * twips_per_pixel; }
  double ScreenHeightTwips() override { return height * twips_per_pixel; }
  double TwipsPerPixelX() override { return twips_per_pixel; }
  double TwipsPerPixelY() override { return twips_per_pixel; }
  void SetPersistentDrawing(bool on) override {
    persistent = on;
    log.push_back(on ? "persistent on" : "persistent off");
  }
  void Clear() override { log.push_back(persistent ? "clear persistent" : "clear"); }
  void Refresh() override { log.push_back("refresh"); }
  BrushHandle CreateSolidBrush(ColorRef color) override {
    brushes_.push_back(color);
    log.push_back("brush " + std::to_string(color));
    return static_cast<BrushHandle>(brushes_.size());
  }
  int32_t FillRect(const RectI& r, BrushHandle b) override {
    log.push_back("fillrect " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                  std::to_string(r.right) + "," + std::to_string(r.bottom) + " " +
                  std::to_string(b == 0 || b > brushes_.size() ? 0 : brushes_[b - 1]));
    return 1;
  }
  int32_t DeleteObject(BrushHandle b) override {
    log.push_back("delete " + std::to_string(b));
    return 1;
  }
  void SetOutlineStyle(int16_t style) override {
    outline_style = style;
    log.push_back("outline " + std::to_string(style));
  }
  void FillBox(float x1, float y1, float x2, float y2, ColorRef color) override {
    log.push_back("box " + Num(x1) + "," + Num(y1) + "," + Num(x2) + "," + Num(y2) + " " +
                  std::to_string(color));
  }
  int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) override {
    pixels.push_back({x, y, color, true});
    return 1;
  }
  void PSet(float x, float y, ColorRef color) override {
    pixels.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y), color, false});
  }
  void SetFontName(std::string_view name) override { font_.font = std::string(name); }
  void SetFontSize(float points) override { font_.size = points; }
  void SetFontBold(bool bold) override { font_.bold = bold; }
  void SetFontItalic(bool italic) override { font_.italic = italic; }
  void SetForeColor(ColorRef color) override { font_.color = color; }
  void SetCurrentX(float x) override { font_.x = x; }
  void SetCurrentY(float y) override { font_.y = y; }
  void Print(std::string_view text) override {
    TextPrint p = font_;
    p.text = std::string(text);
    texts.push_back(p);
    log.push_back("print " + p.text);
  }
  int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* e) override {
    loaded_palette.assign(e, e + count);
    log.push_back("setpalette " + std::to_string(start) + "," + std::to_string(count));
    return count;
  }
  int32_t RealizePalette() override {
    log.push_back("realize");
    return 0;
  }

 private:
  static std::string Num(float v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
  }
  std::vector<ColorRef> brushes_;
  TextPrint font_;
};

// Virtual time: Sleep and waits advance it at once.
class FakeClock : public Clock {
 public:
  int64_t now_ms = 0;
  // Seconds since midnight at now_ms == 0.
  double start_seconds = 12 * 3600;
  CalendarTime start_date{2026, 12, 7, 12, 0, 0};
  std::vector<int32_t> sleeps;

  void Sleep(int32_t ms) override {
    sleeps.push_back(ms);
    now_ms += ms;
  }
  float Timer() override;
  CalendarTime Now() override;
  int64_t MonotonicMs() override { return now_ms; }
};

class FakeEvents : public Events {
 public:
  explicit FakeEvents(FakeClock& clock) : clock_(clock) {}
  EventHandlers handlers;
  int pumps = 0;
  std::vector<int32_t> waits;
  int32_t timer_interval = 0;
  bool timer_enabled = false;
  // Input queued for the next pump.
  std::deque<char> pending_keys;
  int pending_clicks = 0;

  void SetHandlers(EventHandlers h) override { handlers = std::move(h); }
  void Pump() override;
  void PumpFor(int32_t ms) override {
    waits.push_back(ms);
    clock_.now_ms += ms;
    Pump();
  }
  void WaitAndPump(int32_t ms) override { PumpFor(ms); }
  void SetTimer1Interval(int32_t ms) override { timer_interval = ms; }
  void SetTimer1Enabled(bool e) override { timer_enabled = e; }
  int32_t Timer1Interval() const override { return timer_interval; }
  bool Timer1Enabled() const override { return timer_enabled; }

 private:
  FakeClock& clock_;
};

// Pumps show up in a call log, so their place among the drawing calls is
// visible.
class LoggingEvents : public FakeEvents {
 public:
  LoggingEvents(FakeClock& clock, std::vector<std::string>& log) : FakeEvents(clock), log_(log) {}
  void Pump() override {
    log_.push_back("pump");
    FakeEvents::Pump();
  }

 private:
  std::vector<std::string>& log_;
};

// Hands out scripted numbers in order, then a fixed fallback.
class ScriptedRandom : public Random {
 public:
  std::deque<float> script;
  float fallback = 0.5f;
  int draws = 0;
  int reseeds = 0;
  float Rnd() override {
    ++draws;
    if (script.empty()) return fallback;
    float v = script.front();
    script.pop_front();
    return v;
  }
  void Randomize() override { ++reseeds; }
};

class FakeHost : public Host {
 public:
  bool previous_instance = false;
  std::string app_path = "/opt/zt";
  std::vector<std::string> existing;
  bool PreviousInstance() override { return previous_instance; }
  std::string AppPath() override { return app_path; }
  bool FileExists(const std::string& path) override;
};

// Records every call; answers from a script of (prefix -> result, reply).
class FakeAudio : public Audio {
 public:
  struct Answer {
    std::string prefix;
    uint32_t result = 0;
    std::string reply;
  };
  std::vector<std::string> calls;
  std::vector<Answer> answers;  // first matching prefix wins
  int32_t wave_result = 1;
  int beeps = 0;
  int32_t SndPlaySound(std::string_view name, uint32_t flags) override;
  uint32_t MciSendString(std::string_view cmd, char* reply, uint32_t size) override;
  void Beep() override {
    ++beeps;
    calls.push_back("beep");
  }
};

struct FakePlatform {
  FakeCanvas canvas;
  FakeClock clock;
  FakeEvents events{clock};
  ScriptedRandom random;
  FakeHost host;
  FakeAudio audio;
  Platform platform{canvas, events, clock, random, host, audio, nullptr};
};

// The doubles with pumps logged among the canvas calls.
struct LoggingPlatform {
  FakePlatform fake;
  LoggingEvents events{fake.clock, fake.canvas.log};
  Platform platform{fake.canvas, events, fake.clock, fake.random, fake.host, fake.audio, nullptr};
};

}  // namespace zt::test
