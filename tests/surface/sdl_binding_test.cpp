// What only the SDL binding has, under SDL's off-screen video driver (no
// display needed); the contract all bindings share is checked in
// tests/conformance.
#include <SDL.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "surface/events/quit_signals.h"
#include "surface/os/system_clock.h"
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/sdl/sdl_session.h"

namespace zt {
namespace {

struct FormatCase {
  Uint32 format;
  // 0x00123456 (r 0x12, g 0x34, b 0x56) packed, 3-byte formats read as
  // little-endian: RGB24 keeps red in its first byte.
  uint32_t expected;
};

class ConvertRowTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ConvertRowTest, PacksLikeSdl) {
  SDL_PixelFormat* format = SDL_AllocFormat(GetParam().format);
  ASSERT_NE(format, nullptr);
  const uint32_t source[2] = {0x123456, 0xFFFFFF};
  std::vector<uint8_t> bytes(2 * format->BytesPerPixel + 1, 0xAA);
  ConvertXrgbRow(source, 2, format, bytes.data());
  for (int i = 0; i < 2; ++i) {
    uint32_t value = 0;
    const uint8_t* at = bytes.data() + i * format->BytesPerPixel;
    if (format->BytesPerPixel == 3) {
      value = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (at[0] | at[1] << 8 | at[2] << 16)
                                              : (at[2] | at[1] << 8 | at[0] << 16);
    } else {
      std::memcpy(&value, at, format->BytesPerPixel);
    }
    const uint32_t c = source[i];
    EXPECT_EQ(value, SDL_MapRGB(format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF))
        << SDL_GetPixelFormatName(GetParam().format) << " pixel " << i;
    if (i == 0) {
      EXPECT_EQ(value, GetParam().expected);
    }
  }
  EXPECT_EQ(bytes.back(), 0xAA);  // nothing written past the row
  SDL_FreeFormat(format);
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertRowTest,
                         ::testing::Values(FormatCase{SDL_PIXELFORMAT_RGB888, 0x123456},
                                           FormatCase{SDL_PIXELFORMAT_ARGB8888, 0xFF123456},
                                           FormatCase{SDL_PIXELFORMAT_BGR888, 0x563412},
                                           FormatCase{SDL_PIXELFORMAT_RGB565, 0x11AA},
                                           FormatCase{SDL_PIXELFORMAT_RGB555, 0x08CA},
                                           FormatCase{SDL_PIXELFORMAT_RGB24, 0x563412},
                                           FormatCase{SDL_PIXELFORMAT_BGR24, 0x123456}));

TEST(SystemClockTest, TimerAgreesWithTheCalendar) {
  SystemClock clock;
  const CalendarTime now = clock.Now();
  const float timer = clock.Timer();
  const double expected = now.hour * 3600.0 + now.minute * 60.0 + now.second;
  // Allow for a midnight between the two readings.
  EXPECT_TRUE(std::abs(timer - expected) < 1.0 || timer < 1.0f) << timer << " vs " << expected;
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.year, 2020);
  const int64_t before = clock.MonotonicMs();
  clock.Sleep(20);
  EXPECT_GE(clock.MonotonicMs() - before, 20);
}

class SdlSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    SdlOptions options;
    options.windowed = GetWindowed();
    options.window_width = 320;
    options.window_height = 200;
    std::string error;
    session_ = OpenSdlSession(options, error);
    if (!session_) GTEST_SKIP() << "no off-screen video: " << error;
  }
  void TearDown() override {
    session_.reset();
    unsetenv("SDL_VIDEODRIVER");
  }
  virtual bool GetWindowed() const { return true; }

  // A blue box on the backing image and a gold spoke pixel above it, shown.
  void DrawBoxAndSpoke() {
    SdlCanvas& canvas = session_->canvas();
    canvas.ShowWindow();
    canvas.SetPersistentDrawing(true);
    canvas.FillBox(10, 10, 19, 19, PackRgb(0, 0, 255));
    canvas.SetPersistentDrawing(false);
    canvas.Refresh();
    canvas.SetPixelV(300, 150, PackRgb(255, 200, 0));
    session_->events().Pump();
  }
  // The colour in the window's surface at (x, y), 0x00RRGGBB.
  int WindowPixel(int x, int y) {
    SDL_Surface* surface = SDL_GetWindowSurface(session_->canvas().Window());
    if (surface == nullptr) return -1;
    Uint32 value = 0;
    std::memcpy(&value,
                static_cast<uint8_t*>(surface->pixels) + y * surface->pitch +
                    x * surface->format->BytesPerPixel,
                surface->format->BytesPerPixel);
    Uint8 r, g, b;
    SDL_GetRGB(value, surface->format, &r, &g, &b);
    return (r << 16) | (g << 8) | b;
  }

  std::unique_ptr<SdlSession> session_;
};

// A new window size is the canvas's new size: both layers start over, black,
// the application hears of it, and drawing reaches the new framebuffer.
TEST_F(SdlSessionTest, AResizeStartsTheCanvasOverAtTheNewSize) {
  SdlCanvas& canvas = session_->canvas();
  std::vector<std::pair<int, int>> sizes;
  EventHandlers handlers;
  handlers.size_changed = [&sizes](int32_t w, int32_t h) { sizes.emplace_back(w, h); };
  session_->events().SetHandlers(std::move(handlers));
  DrawBoxAndSpoke();
  auto at = [this](int x, int y) { return WindowPixel(x, y); };
  for (const auto& [w, h] : {std::pair{400, 300}, std::pair{200, 100}, std::pair{320, 200}}) {
    SDL_SetWindowSize(canvas.Window(), w, h);
    session_->events().Pump();
    const std::string where = std::to_string(w) + "x" + std::to_string(h);
    ASSERT_FALSE(sizes.empty()) << where;
    EXPECT_EQ(sizes.back(), std::pair(w, h)) << where;
    EXPECT_EQ(canvas.Width(), w) << where;
    EXPECT_EQ(canvas.Height(), h) << where;
    EXPECT_EQ(at(15, 15), 0) << where;  // the old picture is gone, not cut
    canvas.SetPixelV(w - 2, h - 2, PackRgb(0, 255, 0));
    session_->events().Pump();
    EXPECT_EQ(at(w - 2, h - 2), 0x00FF00) << where;
  }
}

// A signal also makes the wake-up descriptor readable, so a wait on the X
// connection cannot sleep through one; taking the signal empties it again.
TEST(QuitSignalsTest, SignalsWakeWaitsThroughADescriptor) {
  QuitSignals signals;
  const int fd = QuitSignals::WakeFd();
  ASSERT_GE(fd, 0);
  auto readable = [fd] {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
  };
  EXPECT_FALSE(readable());
  for (int i = 0; i < 3; ++i) std::raise(SIGINT);
  EXPECT_TRUE(readable());
  EXPECT_TRUE(QuitSignals::Take());
  EXPECT_FALSE(readable());
  EXPECT_FALSE(QuitSignals::Take());
}

TEST_F(SdlSessionTest, WindowedModeLeavesCursorAndStackingAlone) {
  SdlCanvas& canvas = session_->canvas();
  EXPECT_EQ(canvas.ShowCursor(false), -1);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  canvas.SetWindowPosTopmost();
  EXPECT_EQ(SDL_GetWindowFlags(canvas.Window()) & SDL_WINDOW_ALWAYS_ON_TOP, 0u);
  canvas.SetCursorPos(5, 5);
  EXPECT_FALSE(canvas.LastWarp().has_value());
  EXPECT_EQ(canvas.ShowCursor(true), 0);
}

class SdlFullScreenTest : public SdlSessionTest {
 protected:
  bool GetWindowed() const override { return false; }
};

TEST_F(SdlFullScreenTest, CoversTheDisplayAndFollowsTheCursorCounter) {
  SdlCanvas& canvas = session_->canvas();
  SDL_DisplayMode mode{};
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
  EXPECT_EQ(canvas.Width(), mode.w);
  EXPECT_EQ(canvas.Height(), mode.h);
  EXPECT_EQ(canvas.BitsPerPixel(), session_->DesktopBitsPerPixel());
  EXPECT_EQ(canvas.TwipsPerPixelX(), canvas.TwipsPerPixelY());
  EXPECT_NE(SDL_GetWindowFlags(canvas.Window()) & SDL_WINDOW_BORDERLESS, 0u);
  canvas.ShowCursor(false);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  canvas.ShowCursor(false);
  canvas.ShowCursor(true);  // still below zero: stays hidden
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  canvas.ShowCursor(true);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  canvas.SetCursorPos(mode.w / 2, mode.h / 2);
  ASSERT_TRUE(canvas.LastWarp().has_value());
  EXPECT_EQ(canvas.LastWarp()->x, mode.w / 2);
}

TEST(SdlNoDisplayTest, SaysSoInOneLine) {
  setenv("SDL_VIDEODRIVER", "x11", 1);
  const char* old_display = std::getenv("DISPLAY");
  const std::string saved = old_display ? old_display : "";
  setenv("DISPLAY", ":4242", 1);
  std::string error;
  auto session = OpenSdlSession(SdlOptions{}, error);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(error.rfind("zolven-taris: cannot open a display (", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  if (old_display) {
    setenv("DISPLAY", saved.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
  unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
}  // namespace zt
