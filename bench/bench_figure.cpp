// One figure at 1920 x 1080: its measurement and its whole sweep, with the
// waits and event pumps reduced to nothing, for each sweep step.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "base/numeric.h"
#include "base/scene_observer.h"
#include "base/scene_state.h"
#include "geometry/measure.h"
#include "geometry/projection.h"
#include "geometry/sweep.h"
#include "surface/platform.h"

namespace {

using namespace zt;

// Pixels go into a plain memory image; everything else does nothing.
class MemoryCanvas : public Canvas {
 public:
  MemoryCanvas(int32_t width, int32_t height)
      : width_(width), image_(static_cast<size_t>(width + 1) * static_cast<size_t>(height + 1)) {}
  int64_t pixels_written = 0;

  int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) override {
    image_[static_cast<size_t>(y) * static_cast<size_t>(width_ + 1) + static_cast<size_t>(x)] =
        color;
    ++pixels_written;
    return 1;
  }
  void PSet(float x, float y, ColorRef color) override {
    SetPixelV(static_cast<int32_t>(x), static_cast<int32_t>(y), color);
  }

  void SetWindowStateMaximised() override {}
  void SetBackColor(Rgb) override {}
  int32_t ShowCursor(bool) override { return 0; }
  int32_t SetWindowPosTopmost() override { return 1; }
  int32_t SetCursorPos(int32_t, int32_t) override { return 1; }
  void ShowWindow() override {}
  int32_t BitsPerPixel() override { return 32; }
  double ScreenWidthTwips() override { return 0; }
  double ScreenHeightTwips() override { return 0; }
  double TwipsPerPixelX() override { return 15; }
  double TwipsPerPixelY() override { return 15; }
  void SetPersistentDrawing(bool) override {}
  void Clear() override {}
  void Refresh() override {}
  BrushHandle CreateSolidBrush(ColorRef) override { return 1; }
  int32_t FillRect(const RectI&, BrushHandle) override { return 1; }
  int32_t DeleteObject(BrushHandle) override { return 1; }
  void SetOutlineStyle(int16_t) override {}
  void FillBox(float, float, float, float, ColorRef) override {}
  void SetFontName(std::string_view) override {}
  void SetFontSize(float) override {}
  void SetFontBold(bool) override {}
  void SetFontItalic(bool) override {}
  void SetForeColor(ColorRef) override {}
  void SetCurrentX(float) override {}
  void SetCurrentY(float) override {}
  void Print(std::string_view) override {}
  int32_t SetPaletteEntries(int32_t, int32_t count, const PaletteEntry*) override { return count; }
  int32_t RealizePalette() override { return 0; }

 private:
  int32_t width_;
  std::vector<ColorRef> image_;
};

class NoEvents : public Events {
 public:
  void SetHandlers(EventHandlers) override {}
  void Pump() override {}
  void PumpFor(int32_t) override {}
  void WaitAndPump(int32_t) override {}
  void SetTimer1Interval(int32_t) override {}
  void SetTimer1Enabled(bool) override {}
  int32_t Timer1Interval() const override { return 0; }
  bool Timer1Enabled() const override { return false; }
};

class NoClock : public Clock {
 public:
  void Sleep(int32_t) override {}
  float Timer() override { return 0; }
  CalendarTime Now() override { return {}; }
  int64_t MonotonicMs() override { return 0; }
};

class NoRandom : public Random {
 public:
  float Rnd() override { return 0.5f; }
  void Randomize() override {}
};

class NoHost : public Host {
 public:
  bool PreviousInstance() override { return false; }
  std::string AppPath() override { return "."; }
  bool FileExists(const std::string&) override { return false; }
};

class NoAudio : public Audio {
 public:
  int32_t SndPlaySound(std::string_view, uint32_t) override { return 0; }
  uint32_t MciSendString(std::string_view, char*, uint32_t) override { return 0; }
  void Beep() override {}
};

class SpokeCounter : public SceneObserver {
 public:
  int64_t spokes = 0;
  void OnSpoke(const SceneState&) override { ++spokes; }
};

struct View {
  int tilt, turn;
  int16_t z_frequency, spin_rate;
  bool reverse;
};

// A spread of figures: plain, steep, each z frequency, slow and fast spins.
constexpr std::array<View, 6> kViews{{{30, 20, 4, 2, true},
                                      {95, -60, 1, 3, true},
                                      {250, 45, 5, 8, false},
                                      {0, 0, 1, 1, true},
                                      {180, -90, 4, 12, false},
                                      {310, 70, 5, 4, false}}};

void BM_Figure(benchmark::State& state) {
  constexpr int32_t kWidth = 1920, kHeight = 1080;
  MemoryCanvas canvas(kWidth, kHeight);
  NoEvents events;
  NoClock clock;
  NoRandom random;
  NoHost host;
  NoAudio audio;
  SpokeCounter counter;
  Platform platform{canvas, events, clock, random, host, audio, &counter};

  SceneState s;
  s.ScreenWidth = kWidth;
  s.ScreenHeight = kHeight;
  s.CenterX = kWidth / 2;
  s.CenterY = kHeight / 2;
  s.ProjectScaleX = ToSingle(s.CenterX / 200.0);
  s.ProjectScaleY = ToSingle(s.CenterY / 200.0);
  s.LayoutScale = ToSingle(kWidth / 800.0);
  s.StepDegrees = ToSingle(static_cast<double>(state.range(0)) / 10.0);
  s.ColorScheme = 0;
  s.LineGreen = 120;
  s.LineBlue = 200;

  size_t figure = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const View& v = kViews[figure++ % kViews.size()];
    s.TiltDegrees = static_cast<int16_t>(v.tilt);
    s.SteepTilt = ((v.tilt > 60 && v.tilt < 120) || (v.tilt > 240 && v.tilt < 300)) ? 1 : 0;
    s.Tilt = ToSingle(v.tilt * kDegreeFactor);
    s.Turn = ToSingle(v.turn * kDegreeFactor);
    s.ZFrequency = v.z_frequency;
    s.SpinRate = v.spin_rate;
    s.SweepStart = static_cast<int16_t>((figure * 47) % 360);
    s.DepthBuffer.Reset(kWidth, kHeight);
    state.ResumeTiming();

    MeasureFigure(s, platform);
    if (v.reverse) {
      DrawFigureReverse(s, platform);
    } else {
      DrawFigureForward(s, platform);
    }
    benchmark::DoNotOptimize(s.DepthBuffer.Cells().data());
  }
  state.counters["spokes_per_s"] =
      benchmark::Counter(static_cast<double>(counter.spokes), benchmark::Counter::kIsRate);
  state.counters["s_per_pixel"] =
      benchmark::Counter(static_cast<double>(canvas.pixels_written),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["pixels_per_figure"] = benchmark::Counter(
      static_cast<double>(canvas.pixels_written), benchmark::Counter::kAvgIterations);
}

// The projection takes its six sines and cosines on every call; this shows
// what that costs per point.
void BM_ProjectPoint(benchmark::State& state) {
  SceneState s;
  s.ProjectScaleX = 4.8f;
  s.ProjectScaleY = 2.7f;
  s.Tilt = ToSingle(30 * kDegreeFactor);
  s.Turn = ToSingle(20 * kDegreeFactor);
  float t = 0;
  for (auto _ : state) {
    s.CurveX = t;
    s.CurveY = -t;
    s.CurveZ = 0.5f * t;
    ProjectPoint(s);
    benchmark::DoNotOptimize(s.ProjZ);
    t = t < 100 ? t + 0.25f : -100;
  }
}
BENCHMARK(BM_ProjectPoint);

// The argument is the sweep step in tenths of a degree.
BENCHMARK(BM_Figure)->Arg(3)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
