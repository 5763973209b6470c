#include "app/form1.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/numeric.h"
#include "support/fakes.h"

namespace zt {
namespace {

using test::FakePlatform;

struct ProbeCase {
  int32_t width, height, bits;
  int32_t center_x, center_y;
  float layout_scale;
  int16_t palette_mode;
};

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, StartUpValuesFollowTheScreen) {
  const ProbeCase c = GetParam();
  FakePlatform f;
  f.canvas.width = c.width;
  f.canvas.height = c.height;
  f.canvas.bits_per_pixel = c.bits;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  EXPECT_EQ(s.ScreenWidth, c.width);
  EXPECT_EQ(s.ScreenHeight, c.height);
  EXPECT_EQ(s.CenterX, c.center_x);
  EXPECT_EQ(s.CenterY, c.center_y);
  EXPECT_EQ(s.LayoutScale, c.layout_scale);
  EXPECT_EQ(s.PaletteMode, c.palette_mode);
  EXPECT_EQ(s.TwipsPerPixel, 15);
  EXPECT_EQ(s.ProjectScaleX, static_cast<float>(c.center_x / 200.0));
  EXPECT_EQ(s.ProjectScaleY, static_cast<float>(c.center_y / 200.0));
  EXPECT_EQ(s.DepthBuffer.Columns(), c.width + 1);
  EXPECT_EQ(s.DepthBuffer.Rows(), c.height + 1);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProbeTest,
                         ::testing::Values(ProbeCase{640, 480, 32, 320, 240, 0.75f, 0},
                                           ProbeCase{800, 600, 24, 400, 300, 1.0f, 0},
                                           ProbeCase{1024, 768, 16, 512, 384, 1.25f, 0},
                                           ProbeCase{1152, 864, 15, 576, 432, 1.44f, 0},
                                           ProbeCase{1280, 1024, 8, 640, 512, 1.6f, 1},
                                           // Halves of the centre go to the even neighbour.
                                           ProbeCase{1023, 1021, 32, 512, 510, 1023 / 800.0f, 0},
                                           ProbeCase{800, 600, 8, 400, 300, 1.0f, 1}));

TEST(StartUp, StartTimeAndDayComeFromTheClock) {
  FakePlatform f;
  f.clock.start_seconds = 3600 * 10 + 0.6;
  f.clock.start_date = {2026, 3, 12, 10, 0, 0.6};
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  EXPECT_EQ(s.StartSeconds, 36001);
  EXPECT_EQ(s.StartDay, 12);
}

TEST(StartUp, PreparationRunsInOrderBeforeTheProbe) {
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  const std::vector<std::string> expected = {"maximise", "backcolor 0", "cursor hide", "topmost",
                                             "show"};
  EXPECT_EQ(f.canvas.log, expected);
  EXPECT_EQ(f.random.reseeds, 1);
}

TEST(StartUp, ASecondCopyEndsBeforeShowingAnything) {
  FakePlatform f;
  f.host.previous_instance = true;
  SceneState s;
  Form1 form(s, f.platform);
  try {
    form.Main();
    FAIL() << "a second copy went on";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.status, 0);
  }
  EXPECT_TRUE(f.canvas.log.empty());
  EXPECT_TRUE(f.audio.calls.empty());
}

struct ExitCase {
  const char* name;
  int16_t music_mode;
  int16_t midi_state;
  std::vector<std::string> audio_calls;
};

class ExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitTest, ClickStopsMusicAndRestoresTheCursorAtTheCentre) {
  const ExitCase c = GetParam();
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  s.MusicMode = c.music_mode;
  s.MidiState = c.midi_state;
  f.audio.calls.clear();
  f.events.pending_clicks = 1;
  EXPECT_THROW(f.events.Pump(), ProgramExit);
  EXPECT_EQ(f.audio.calls, c.audio_calls);
  EXPECT_TRUE(f.canvas.cursor_visible);
  EXPECT_EQ(f.canvas.cursor_x, 400);
  EXPECT_EQ(f.canvas.cursor_y, 300);
  // The cursor comes back before it is moved.
  const auto show = std::find(f.canvas.log.begin(), f.canvas.log.end(), "cursor show");
  const auto move = std::find(f.canvas.log.begin(), f.canvas.log.end(), "cursor 400,300");
  EXPECT_LT(show, move);
}

INSTANTIATE_TEST_SUITE_P(Music, ExitTest,
                         ::testing::Values(ExitCase{"none", 0, 0, {}},
                                           ExitCase{"wave", 1, 0, {"wave  131075"}},
                                           ExitCase{"playing", 2, 2, {"stop bgm", "close bgm"}},
                                           ExitCase{"opened", 2, 1, {"close bgm"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Exit, AnyCharacterKeyOrCloseRequestEnds) {
  for (char key : {'a', '7', ' ', '\r', '\x1b'}) {
    FakePlatform f;
    SceneState s;
    Form1 form(s, f.platform);
    form.Main();
    f.events.pending_keys.push_back(key);
    EXPECT_THROW(f.events.Pump(), ProgramExit) << static_cast<int>(key);
    EXPECT_TRUE(f.canvas.cursor_visible);
  }
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  EXPECT_THROW(f.events.handlers.query_unload(), ProgramExit);
}

TEST(Exit, HostedWindowIgnoresInputAndLeavesThePointer) {
  FakePlatform f;
  SceneState s;
  FormOptions options;
  options.hide_cursor = false;
  options.input_ends = false;
  options.music = false;
  Form1 form(s, f.platform, options);
  form.Main();
  f.events.pending_clicks = 1;
  f.events.pending_keys.push_back('a');
  EXPECT_NO_THROW(f.events.Pump());
  EXPECT_THROW(f.events.handlers.query_unload(), ProgramExit);
  EXPECT_EQ(f.canvas.cursor_x, -1);
  EXPECT_EQ(std::count(f.canvas.log.begin(), f.canvas.log.end(), "cursor hide"), 0);
}

// Draws one figure with a scripted generator and reads back the choices.
struct FigureDraw {
  test::FakePlatform f;
  SceneState s;
  std::unique_ptr<Form1> form;
  explicit FigureDraw(std::vector<float> script, int16_t palette_mode = 0) {
    f.canvas.bits_per_pixel = palette_mode ? 8 : 32;
    form = std::make_unique<Form1>(s, f.platform);
    form->Main();
    s.CycleCount = 1;
    s.BackdropKind = 1;
    f.random.script.assign(script.begin(), script.end());
    form->DrawNextFigure();
  }
};

TEST(SceneCycle, RandomNumbersAreDrawnInOrder) {
  // tilt, turn, z, step, sweep start, caption r g b, scheme, two line channels, spin
  FigureDraw d({0.25f, 0.0f, 0.5f, 0.99f, 0.5f, 0.1f, 0.2f, 0.3f, 0.3f, 0.5f, 0.25f, 0.0f});
  EXPECT_EQ(d.s.TiltDegrees, 90);
  EXPECT_EQ(d.s.SteepTilt, 1);
  EXPECT_EQ(d.s.TurnDegrees, -90);
  EXPECT_EQ(d.s.ZFrequency, 4);
  EXPECT_FLOAT_EQ(d.s.StepDegrees, 0.7f);
  EXPECT_EQ(d.s.StepDelay, 60);
  EXPECT_EQ(d.s.CaptionRed, 25);
  EXPECT_EQ(d.s.CaptionGreen, 51);
  EXPECT_EQ(d.s.CaptionBlue, 76);
  EXPECT_EQ(d.s.ColorScheme, 1);
  EXPECT_EQ(d.s.LineRed, 127);
  EXPECT_EQ(d.s.LineBlue, 63);
  EXPECT_EQ(d.s.SpinRate, 1);
  EXPECT_EQ(d.f.random.draws, 12);
  EXPECT_EQ(d.s.CycleCount, 2);
  EXPECT_FLOAT_EQ(d.s.Tilt, static_cast<float>(90 * kDegreeFactor));
  EXPECT_EQ(d.s.Roll, 0.0f);
}

TEST(SceneCycle, SchemeThreeDrawsThreeChannelsAndAlignsTheDriftStart) {
  FigureDraw d({0.0f, 0.5f, 0.0f, 0.0f, 0.901f, 0, 0, 0, 0.8f, 0.0f, 0.999f, 0.5f, 0.4f});
  EXPECT_EQ(d.s.ZFrequency, 1);  // 2 becomes 1
  EXPECT_FLOAT_EQ(d.s.StepDegrees, 0.3f);
  EXPECT_EQ(d.s.StepDelay, 20);
  EXPECT_EQ(d.s.ColorScheme, 3);
  EXPECT_EQ(d.s.SweepStart, 324);
  EXPECT_EQ(d.f.random.draws, 13);
}

TEST(SceneCycle, PaletteModeWaitsTenMillisecondsLessPerSpoke) {
  FigureDraw d({0.0f, 0.5f, 0.0f, 0.4f}, 1);
  EXPECT_FLOAT_EQ(d.s.StepDegrees, 0.5f);
  EXPECT_EQ(d.s.StepDelay, 30);
}

struct TiltCase {
  int tilt;
  int16_t steep;
};

TEST(SceneCycle, SteepTiltBoundsAreExclusive) {
  for (TiltCase c : {TiltCase{60, 0}, TiltCase{61, 1}, TiltCase{119, 1}, TiltCase{120, 0},
                     TiltCase{240, 0}, TiltCase{241, 1}, TiltCase{299, 1}, TiltCase{300, 0}}) {
    // The tilt draw lands in the middle of its degree.
    FigureDraw d({static_cast<float>((c.tilt + 0.5) / 360.0)});
    EXPECT_EQ(d.s.TiltDegrees, c.tilt);
    EXPECT_EQ(d.s.SteepTilt, c.steep) << c.tilt;
  }
}

TEST(SceneCycle, ColumnBackdropBringsForwardSweepAndFastSpin) {
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  s.CycleCount = 5;
  s.BackdropKind = 1;
  f.random.fallback = 0.5f;
  form.DrawNextFigure();
  EXPECT_EQ(s.BackdropKind, 2);
  EXPECT_EQ(s.SpinRate, 8);
  EXPECT_EQ(s.CycleCount, 6);
}

TEST(SceneCycle, ThePauseAfterAFigureWaitsForEvents) {
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  s.CycleCount = 1;
  form.DrawNextFigure();
  ASSERT_FALSE(f.events.waits.empty());
  EXPECT_EQ(f.events.waits.back(), 1000);
  EXPECT_TRUE(f.clock.sleeps.empty());
}

TEST(SceneCycle, AClickDuringTheFigureEndsAtOnce) {
  FakePlatform f;
  SceneState s;
  Form1 form(s, f.platform);
  form.Main();
  s.CycleCount = 1;
  f.events.pending_clicks = 1;
  EXPECT_THROW(form.DrawNextFigure(), ProgramExit);
  EXPECT_TRUE(f.canvas.cursor_visible);
}

}  // namespace
}  // namespace zt
