// Pumps that follow each other closely skip asking the system for events,
// but never leave an event SDL already holds unhandled.
#include <SDL.h>
#include <gtest/gtest.h>

#include "surface/os/system_clock.h"
#include "surface/sdl/sdl_events.h"

namespace zt {
namespace {

class SdlPumpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
  void TearDown() override { SDL_QuitSubSystem(SDL_INIT_EVENTS); }
};

TEST_F(SdlPumpTest, BackToBackPumpsHandleEveryQueuedEvent) {
  SystemClock clock;
  SdlEvents events(nullptr, clock);
  int clicks = 0;
  std::string keys;
  EventHandlers handlers;
  handlers.click = [&clicks] { ++clicks; };
  handlers.key_press = [&keys](char c) { keys += c; };
  events.SetHandlers(handlers);
  for (int i = 1; i <= 5; ++i) {
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    ASSERT_EQ(SDL_PushEvent(&click), 1);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_a + i;
    ASSERT_EQ(SDL_PushEvent(&key), 1);
    events.Pump();  // within the same millisecond as the one before
    EXPECT_EQ(clicks, i);
    EXPECT_EQ(keys.size(), static_cast<size_t>(i));
  }
  EXPECT_EQ(keys, "bcdef");
}

TEST_F(SdlPumpTest, AnEventDuringAPauseEndsItsWaitEarly) {
  SystemClock clock;
  SdlEvents events(nullptr, clock);
  int clicks = 0;
  EventHandlers handlers;
  handlers.click = [&clicks] { ++clicks; };
  events.SetHandlers(handlers);
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  ASSERT_EQ(SDL_PushEvent(&click), 1);
  const uint64_t start = SDL_GetTicks64();
  events.WaitAndPump(2000);
  EXPECT_EQ(clicks, 1);
  EXPECT_LT(SDL_GetTicks64() - start, 1000u);
}

}  // namespace
}  // namespace zt
