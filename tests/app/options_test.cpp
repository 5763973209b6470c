#include "app/options.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

TEST(Options, NoArgumentsIsThePlainDisplay) {
  const ParseResult r = ParseOptions({});
  EXPECT_TRUE(r.error.empty());
  EXPECT_FALSE(r.options.render_dir);
  EXPECT_FALSE(r.options.windowed);
  EXPECT_FALSE(r.options.root);
}

TEST(Options, EveryOptionParses) {
  const ParseResult r =
      ParseOptions({"--render", "out", "--figures", "12", "--seed", "99", "--size", "641x479",
                    "--colors", "256", "--start-time", "2024-02-29T23:59:59", "--no-images"});
  ASSERT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(*r.options.render_dir, "out");
  EXPECT_EQ(r.options.figures, 12);
  EXPECT_EQ(*r.options.seed, 99u);
  EXPECT_EQ(r.options.width, 641);
  EXPECT_EQ(r.options.height, 479);
  EXPECT_TRUE(r.options.colors256);
  EXPECT_EQ(r.options.start_time->day, 29);
  EXPECT_EQ(r.options.start_time->second, 59);
  EXPECT_TRUE(r.options.no_images);
}

TEST(Options, HackModeSpellings) {
  for (const char* spelling : {"--window-id", "-window-id"}) {
    const ParseResult r = ParseOptions({spelling, "0x1a00003"});
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(*r.options.window_id, 0x1a00003u);
  }
  EXPECT_EQ(*ParseOptions({"--window-id", "4242"}).options.window_id, 4242u);
  EXPECT_TRUE(ParseOptions({"-root"}).options.root);
  EXPECT_TRUE(ParseOptions({"--root"}).options.root);
  const ParseResult w = ParseOptions({"--window", "--geometry", "320x240", "--display", "1"});
  ASSERT_TRUE(w.error.empty());
  EXPECT_EQ(w.options.window_width, 320);
  EXPECT_EQ(w.options.display, 1);
}

TEST(Options, BadCommandLinesSayWhy) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
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
