#include "app/form1.h"

#include <cmath>

#include "base/civil_time.h"
#include "base/numeric.h"
#include "base/scene_observer.h"
#include "backdrop/backdrops.h"
#include "backdrop/palette.h"
#include "geometry/measure.h"
#include "geometry/sweep.h"
#include "music/music_player.h"

namespace zt {

namespace {
constexpr uint32_t kWaveStopFlags = kSndFilename | kSndNoDefault | kSndAsync;

int16_t IntOf(double v) { return Wrap16(FloorInt(v)); }

// Thrown from the pump when the window changed size: the scene cycle is
// left and begins again at the new size.
struct SceneRestart {};
}  // namespace

float LayoutScaleFor(int32_t screen_width) {
  switch (screen_width) {
    case 640:
      return 0.75f;
    case 800:
      return 1.0f;
    case 1024:
      return 1.25f;
    default:
      return ToSingle(static_cast<double>(screen_width) / 800.0);
  }
}

int RunForm(SceneState& state, Platform& platform, FormOptions options) {
  Form1 form(state, platform, options);
  try {
    form.Main();
    for (;;) {
      try {
        form.Form_Activate();
      } catch (const SceneRestart&) {
        form.MeasureScreen();
      }
    }

  } catch (const ProgramExit& exit) {
    return exit.status;
  }
}

Form1::Form1(SceneState& state, Platform& platform, FormOptions options)
    : s_(state), platform_(platform), options_(options) {
  EventHandlers handlers;
  handlers.click = [this] { Form_Click(); };
  handlers.key_press = [this](char key) { Form_KeyPress(key); };
  handlers.query_unload = [this] { Form_QueryUnload(); };
  handlers.timer1 = [this] { Timer1_Timer(s_, platform_); };
  handlers.size_changed = [this](int32_t, int32_t) {
    // Before the cycle runs there is nothing to leave; it measures anew.
    if (cycle_running_) throw SceneRestart{};
    resized_ = true;
  };
  platform_.events.SetHandlers(std::move(handlers));
}

void Form1::Main() {
  if (options_.single_instance && platform_.host.PreviousInstance()) throw ProgramExit{0};
  Form_Load();
  if (platform_.canvas.BitsPerPixel() == 8) s_.PaletteMode = 1;
  MeasureScreen();
  s_.StartSeconds = Round32(platform_.clock.Timer());
  const CalendarTime today = platform_.clock.Now();
  s_.StartDay = Wrap16(today.day);
  s_.StartEpochSeconds =
      DaysFromCivil(today.year, today.month, today.day) * 86400 + s_.StartSeconds;
}

void Form1::MeasureScreen() {
  Canvas& canvas = platform_.canvas;
  s_.TwipsPerPixel = Round32(canvas.TwipsPerPixelX());
  s_.ScreenWidth = Round32(canvas.ScreenWidthTwips() / canvas.TwipsPerPixelX());
  s_.ScreenHeight = Round32(canvas.ScreenHeightTwips() / canvas.TwipsPerPixelY());
  s_.CenterX = Round32(s_.ScreenWidth / 2.0);
  s_.CenterY = Round32(s_.ScreenHeight / 2.0);
  s_.DepthBuffer.Reset(s_.ScreenWidth, s_.ScreenHeight);
  s_.LayoutScale = LayoutScaleFor(s_.ScreenWidth);
  s_.ProjectScaleX = ToSingle(s_.CenterX / 200.0);
  s_.ProjectScaleY = ToSingle(s_.CenterY / 200.0);
}

void Form1::Form_Load() {
  Canvas& canvas = platform_.canvas;
  canvas.SetWindowStateMaximised();
  canvas.SetBackColor(Rgb{0, 0, 0});
  if (options_.hide_cursor) s_.ApiResult = canvas.ShowCursor(false);
  if (options_.topmost) s_.ApiResult = canvas.SetWindowPosTopmost();
  platform_.random.Randomize();
  if (options_.music) StartMusic(s_, platform_);
  canvas.ShowWindow();
}

void Form1::Form_Click() {
  if (options_.input_ends) Form_QueryUnload();
}

void Form1::Form_KeyPress(char) {
  if (options_.input_ends) Form_QueryUnload();
}

void Form1::Form_QueryUnload() {
  if (options_.exit_begins) options_.exit_begins();
  if (s_.MusicMode == 1) {
    s_.ApiResult = platform_.audio.SndPlaySound("", kWaveStopFlags);
  } else if (s_.MusicMode == 2) {
    StopMusic(s_, platform_);
  }
  if (options_.hide_cursor) {
    s_.ApiResult = platform_.canvas.ShowCursor(true);
    s_.ApiResult = platform_.canvas.SetCursorPos(s_.CenterX, s_.CenterY);
  }
  throw ProgramExit{0};
}

void Form1::Form_Activate() {
  if (resized_) MeasureScreen();
  resized_ = false;
  cycle_running_ = true;
  if (s_.PaletteMode == 1) InitPalette(s_, platform_);
  PaintRowBackdrop(s_, platform_);
  s_.BackdropKind = 1;
  for (;;) DrawNextFigure();
}

void Form1::DrawNextFigure() {
  s_.TiltDegrees = IntOf(Rnd() * 360.0);
  s_.SteepTilt = ((s_.TiltDegrees > 60 && s_.TiltDegrees < 120) ||
                  (s_.TiltDegrees > 240 && s_.TiltDegrees < 300))
                     ? 1
                     : 0;
  s_.TurnDegrees = Wrap16(FloorInt(Rnd() * 180.0) - 90);
  s_.Tilt = ToSingle(s_.TiltDegrees * kDegreeFactor);
  s_.Turn = ToSingle(s_.TurnDegrees * kDegreeFactor);
  s_.Roll = 0;
  s_.ZFrequency = Wrap16(FloorInt(Rnd() * 4.0) + 2);
  if (s_.ZFrequency == 2 || s_.ZFrequency == 3) s_.ZFrequency = 1;
  s_.StepDegrees = ToSingle((2.0 * static_cast<double>(FloorInt(Rnd() * 3.0 + 1.0)) + 1.0) / 10.0);
  s_.StepDelay = Round16(static_cast<double>(s_.StepDegrees) * 100.0 - 10.0);
  if (s_.PaletteMode == 1) s_.StepDelay = Wrap16(s_.StepDelay - 10);
  s_.SweepStart = IntOf(Rnd() * 360.0);
  s_.CaptionRed = IntOf(Rnd() * 255.0);
  s_.CaptionGreen = IntOf(Rnd() * 255.0);
  s_.CaptionBlue = IntOf(Rnd() * 255.0);
  s_.ColorScheme = IntOf(Rnd() * 4.0);
  switch (s_.ColorScheme) {
    case 0:
      s_.LineGreen = IntOf(Rnd() * 255.0);
      s_.LineBlue = IntOf(Rnd() * 255.0);
      break;
    case 1:
      s_.LineRed = IntOf(Rnd() * 255.0);
      s_.LineBlue = IntOf(Rnd() * 255.0);
      break;
    case 2:
      s_.LineRed = IntOf(Rnd() * 255.0);
      s_.LineGreen = IntOf(Rnd() * 255.0);
      break;
    default:
      s_.LineRed = Wrap16(IntOf(Rnd() * 177.0) + 63);
      s_.LineGreen = Wrap16(IntOf(Rnd() * 177.0) + 63);
      s_.LineBlue = Wrap16(IntOf(Rnd() * 177.0) + 63);
      s_.LastColorStep = s_.SweepStart;
      break;
  }
  // Emptied, not reallocated: the storage is reused figure after figure.
  s_.DepthBuffer.Reset(s_.ScreenWidth, s_.ScreenHeight);
  platform_.events.Pump();
  platform_.canvas.Clear();
  if (s_.PaletteMode == 1) PrepareFigurePalette(s_, platform_);
  if (s_.CycleCount >= 8) {
    s_.BackdropKind = 1;
    PaintRowBackdrop(s_, platform_);
  } else if (s_.CycleCount == 5) {
    s_.BackdropKind = 2;
    PaintColumnBackdrop(s_, platform_);
  }
  platform_.events.Pump();
  const bool reverse = s_.BackdropKind == 1;
  s_.SpinRate = reverse ? IntOf(Rnd() * 3.0 + 1.0) : Wrap16(4 * IntOf(Rnd() * 3.0 + 1.0));
  MeasureFigure(s_, platform_);
  if (platform_.observer != nullptr) platform_.observer->OnFigureStart(s_);
  if (reverse) {
    DrawFigureReverse(s_, platform_);
  } else {
    DrawFigureForward(s_, platform_);
  }
  if (platform_.observer != nullptr) platform_.observer->OnFigureDrawn(s_);
  // Waits for window events rather than sleeping blind, so input ends the
  // program at once; the pause itself is not shortened.
  platform_.events.PumpFor(1000);
  platform_.events.Pump();
  s_.CycleCount = Wrap16(s_.CycleCount + 1);
}

}  // namespace zt
