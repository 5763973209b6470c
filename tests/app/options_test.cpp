#include "app/options.h"

#include <gtest/gtest.h>

#include <functional>

namespace zt {
namespace {

TEST(Options, NoArgumentsIsThePlainDisplay) {
  const ParseResult r = ParseOptions({});
  EXPECT_TRUE(r.error.empty());
  EXPECT_FALSE(r.options.render_dir || r.options.windowed || r.options.root || r.options.fps);
  EXPECT_FALSE(r.options.monitor || r.options.display_name || r.options.music_file);
  EXPECT_EQ(r.options.speed, 1.0);
}

// Each option in both spellings, and what it sets.
TEST(Options, EveryOptionInBothSpellings) {
  struct Case {
    std::vector<std::string> args;  // written with two dashes
    std::function<bool(const Options&)> check;
  };
  const std::vector<Case> cases = {
      {{"--window"}, [](const Options& o) { return o.windowed; }},
      {{"--window", "--geometry", "320x240"},
       [](const Options& o) { return o.window_width == 320 && o.window_height == 240; }},
      {{"--monitor", "1"}, [](const Options& o) { return o.monitor == 1; }},
      {{"--display", ":0.1"}, [](const Options& o) { return o.display_name == ":0.1"; }},
      {{"--root"}, [](const Options& o) { return o.root; }},
      {{"--window-id", "0x1a00003"}, [](const Options& o) { return o.window_id == 0x1a00003u; }},
      {{"--window-id", "4242"}, [](const Options& o) { return o.window_id == 4242u; }},
      {{"--fps"}, [](const Options& o) { return o.fps; }},
      {{"--speed", "2.5"}, [](const Options& o) { return o.speed == 2.5; }},
      {{"--delay", "20000"}, [](const Options& o) { return o.speed == 1.0; }},
      {{"--delay", "40000"}, [](const Options& o) { return o.speed == 0.5; }},
      {{"--delay", "0"}, [](const Options& o) { return o.speed == 1000.0; }},
      {{"--install"}, [](const Options& o) { return o.install; }},
      {{"--visual", "default"}, [](const Options& o) { return o.visual == "default"; }},
      {{"--mono"}, [](const Options& o) { return o.mono; }},
      {{"--pair"}, [](const Options& o) { return o.pair; }},
      {{"--music", "a b.mid"}, [](const Options& o) { return o.music_file == "a b.mid"; }},
      {{"--no-music"}, [](const Options& o) { return o.no_music; }},
      {{"--colors", "256"}, [](const Options& o) { return o.colors256; }},
      {{"--seed", "99"}, [](const Options& o) { return o.seed == 99u; }},
      {{"--render", "out", "--figures", "12", "--size", "641x479", "--no-images", "--start-time",
        "2024-02-29T23:59:59"},
       [](const Options& o) {
         return o.render_dir == "out" && o.figures == 12 && o.width == 641 && o.height == 479 &&
                o.no_images && o.start_time->day == 29 && o.start_time->second == 59;
       }},
      {{"--help"}, [](const Options& o) { return o.help; }},
      {{"--version"}, [](const Options& o) { return o.version; }},
  };
  for (const Case& c : cases) {
    std::vector<std::string> one_dash = c.args;
    for (std::string& a : one_dash) {
      if (a.rfind("--", 0) == 0) a.erase(0, 1);
    }
    for (const auto& args : {c.args, one_dash}) {
      const ParseResult r = ParseOptions(args);
      EXPECT_TRUE(r.error.empty()) << args[0] << ": " << r.error;
      EXPECT_TRUE(c.check(r.options)) << args[0];
    }
  }
}

TEST(Options, BadCommandLinesSayWhy) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
      {"bare"},
      {"---fps"},
      {"--render"},
      {"--figures", "3"},
      {"--render", "x", "--figures", "-1"},
      {"--render", "x", "--seed", "abc"},
      {"--render", "x", "--size", "800"},
      {"--render", "x", "--size", "800x"},
      {"--window-id", "0xZZ"},
      {"--window-id", "0"},
      {"--window-id", "0x10000050d"},  // above 32 bits, as XSCREENSAVER_WINDOW refuses too
      {"--geometry", "320x240"},
      {"--display", "1"},
      {"--display"},
      {"--monitor", "x"},
      {"--speed", "0"},
      {"--speed", "fast"},
      {"-delay", "-5"},
      {"--music", "a.wav", "--no-music"},
      {"--render", "x", "--start-time", "2026-13-01T00:00:00"},
      {"--render", "x", "--start-time", "2026-12-07T24:00:00"},
  };
  for (const auto& args : bad) {
    EXPECT_FALSE(ParseOptions(args).error.empty()) << args[0];
  }
}

TEST(Options, StartTimeChecksTheCalendar) {
  EXPECT_TRUE(ParseStartTime("2024-02-29T00:00:00"));
  EXPECT_FALSE(ParseStartTime("2023-02-29T00:00:00"));
  EXPECT_FALSE(ParseStartTime("2023-04-31T00:00:00"));
  EXPECT_FALSE(ParseStartTime("2023-04-3T00:00:000"));
}

}  // namespace
}  // namespace zt
