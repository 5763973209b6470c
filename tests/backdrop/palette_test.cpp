#include "backdrop/palette.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace zt {
namespace {

struct Rig : test::LoggingPlatform {
  SceneState s;
};

PaletteEntry Entry(int r, int g, int b) {
  return PaletteEntry{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 0};
}

void ExpectUnusedEntriesBlack(const SceneState& s) {
  EXPECT_EQ(s.PaletteEntries[0], Entry(0, 0, 0));
  for (size_t i = 237; i < 256; ++i) EXPECT_EQ(s.PaletteEntries[i], Entry(0, 0, 0)) << i;
}

void ExpectLoaded(const Rig& rig) {
  ASSERT_EQ(rig.fake.canvas.loaded_palette.size(), 256u);
  for (size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(rig.fake.canvas.loaded_palette[i], rig.s.PaletteEntries[i]) << i;
  }
}

TEST(InitPalette, BackdropLevelsGoldAndPlaceholders) {
  Rig rig;
  InitPalette(rig.s, rig.platform);
  const auto& e = rig.s.PaletteEntries;
  EXPECT_EQ(e[1], Entry(0, 0, 1));
  EXPECT_EQ(e[98], Entry(0, 0, 98));
  EXPECT_EQ(e[99], Entry(0, 0, 99));
  EXPECT_EQ(e[100], Entry(255, 200, 0));
  EXPECT_EQ(e[101], Entry(101, 1, 2));
  EXPECT_EQ(e[236], Entry(236, 1, 2));
  ExpectUnusedEntriesBlack(rig.s);
  ExpectLoaded(rig);
  const std::vector<std::string> expected = {"setpalette 0,256", "realize", "pump"};
  EXPECT_EQ(rig.fake.canvas.log, expected);
}

TEST(PrepareFigurePalette, PumpsFirstAndLoadsAllEntriesLast) {
  Rig rig;
  PrepareFigurePalette(rig.s, rig.platform);
  const std::vector<std::string> expected = {"pump", "setpalette 0,256", "realize", "pump"};
  EXPECT_EQ(rig.fake.canvas.log, expected);
  ExpectLoaded(rig);
}

TEST(PrepareFigurePalette, CaptionColourInEntry100) {
  Rig rig;
  rig.s.CaptionRed = 12;
  rig.s.CaptionGreen = 254;
  rig.s.CaptionBlue = 0;
  PrepareFigurePalette(rig.s, rig.platform);
  EXPECT_EQ(rig.s.PaletteEntries[100], Entry(12, 254, 0));
  EXPECT_EQ(rig.s.PaletteEntries[99], Entry(0, 0, 99));
}

struct RampCase {
  int16_t scheme;
  int channel;  // which channel varies: 0 red, 1 green, 2 blue
};

class DepthRamp : public testing::TestWithParam<RampCase> {};

TEST_P(DepthRamp, VaryingChannelRunsEvenLevelsThenFillers) {
  const RampCase c = GetParam();
  Rig rig;
  rig.s.ColorScheme = c.scheme;
  rig.s.LineRed = 11;
  rig.s.LineGreen = 37;
  rig.s.LineBlue = 200;
  PrepareFigurePalette(rig.s, rig.platform);
  for (int k = 0; k < 128; ++k) {
    int channels[3] = {11, 37, 200};
    channels[c.channel] = 2 * k;
    EXPECT_EQ(rig.s.PaletteEntries[static_cast<size_t>(101 + k)],
              Entry(channels[0], channels[1], channels[2]))
        << "entry " << 101 + k;
  }
  for (int i = 229; i <= 236; ++i) {
    EXPECT_EQ(rig.s.PaletteEntries[static_cast<size_t>(i)], Entry(1, i, 1)) << i;
  }
  EXPECT_EQ(rig.s.RampCount, 128);
  // The line colour is left for the sweep to adjust.
  EXPECT_EQ(rig.s.LineRed, 11);
  ExpectUnusedEntriesBlack(rig.s);
}

INSTANTIATE_TEST_SUITE_P(Schemes, DepthRamp,
                         testing::Values(RampCase{0, 0}, RampCase{1, 1}, RampCase{2, 2}));

TEST(DepthRamp, SchemeZeroKnownEntries) {
  Rig rig;
  rig.s.ColorScheme = 0;
  rig.s.LineGreen = 37;
  rig.s.LineBlue = 200;
  PrepareFigurePalette(rig.s, rig.platform);
  const auto& e = rig.s.PaletteEntries;
  EXPECT_EQ(e[101], Entry(0, 37, 200));
  EXPECT_EQ(e[102], Entry(2, 37, 200));
  EXPECT_EQ(e[228], Entry(254, 37, 200));
  EXPECT_EQ(e[229], Entry(1, 229, 1));
  EXPECT_EQ(e[236], Entry(1, 236, 1));
}

Rig SchemeThree(int16_t red, int16_t green, int16_t blue, int16_t sweep_start) {
  Rig rig;
  rig.s.ColorScheme = 3;
  rig.s.LineRed = red;
  rig.s.LineGreen = green;
  rig.s.LineBlue = blue;
  rig.s.SweepStart = sweep_start;
  rig.s.LastColorStep = sweep_start;
  return rig;
}

TEST(DriftRamp, ChannelsAlignedUpAndDriftedWithTheirOwnTurns) {
  Rig rig;
  rig.s.ColorScheme = 3;
  rig.s.LineRed = 239;
  rig.s.LineGreen = 100;
  rig.s.LineBlue = 63;
  rig.s.RedDir = 7;  // the sweep's directions are none of this code's business
  rig.s.GreenDir = 8;
  rig.s.BlueDir = 9;
  PrepareFigurePalette(rig.s, rig.platform);
  EXPECT_EQ(rig.s.LineRed, 240);
  EXPECT_EQ(rig.s.LineGreen, 102);
  EXPECT_EQ(rig.s.LineBlue, 63);
  const auto& e = rig.s.PaletteEntries;
  EXPECT_EQ(e[101], Entry(243, 105, 60));
  EXPECT_EQ(e[102], Entry(240, 108, 63));
  EXPECT_EQ(e[103], Entry(237, 111, 66));
  EXPECT_EQ(e[146].green, 240);
  EXPECT_EQ(e[147].green, 237);
  EXPECT_EQ(e[220], Entry(240, 108, 63));
  for (int i = 221; i <= 236; ++i) {
    EXPECT_EQ(e[static_cast<size_t>(i)], Entry(1, i, 1)) << i;
  }
  EXPECT_EQ(rig.s.RedDir, 7);
  EXPECT_EQ(rig.s.GreenDir, 8);
  EXPECT_EQ(rig.s.BlueDir, 9);
  ExpectUnusedEntriesBlack(rig.s);
}

TEST(DriftRamp, MultipleOfThreeChannelIsKept) {
  Rig rig = SchemeThree(63, 66, 69, 0);
  PrepareFigurePalette(rig.s, rig.platform);
  EXPECT_EQ(rig.s.LineRed, 63);
  EXPECT_EQ(rig.s.LineGreen, 66);
  EXPECT_EQ(rig.s.LineBlue, 69);
  EXPECT_EQ(rig.s.PaletteEntries[101].red, 66);
  EXPECT_EQ(rig.s.PaletteEntries[101].blue, 66);  // blue starts falling
}

TEST(DriftRamp, SweepStartAlignedUpResetsLastColorStep) {
  struct Case {
    int16_t start, start_after, last_after;
  };
  for (const Case c : {Case{359, 360, 360}, Case{358, 360, 360}, Case{1, 3, 3}, Case{357, 357, 123},
                       Case{0, 0, 123}}) {
    Rig rig = SchemeThree(100, 100, 100, c.start);
    rig.s.LastColorStep = 123;
    PrepareFigurePalette(rig.s, rig.platform);
    EXPECT_EQ(rig.s.SweepStart, c.start_after) << c.start;
    EXPECT_EQ(rig.s.LastColorStep, c.last_after) << c.start;
  }
}

TEST(DriftRamp, EveryStoredValueIsAMultipleOfThreeBetween60And243) {
  for (int16_t v = 63; v <= 239; ++v) {
    Rig rig = SchemeThree(v, v, v, 0);
    PrepareFigurePalette(rig.s, rig.platform);
    for (int i = 101; i <= 220; ++i) {
      const PaletteEntry& e = rig.s.PaletteEntries[static_cast<size_t>(i)];
      for (int channel : {e.red, e.green, e.blue}) {
        ASSERT_EQ(channel % 3, 0) << "start " << v << " entry " << i;
        ASSERT_GE(channel, 60) << "start " << v << " entry " << i;
        ASSERT_LE(channel, 243) << "start " << v << " entry " << i;
      }
    }
  }
}

TEST(PaletteEntries, UnusedEntriesStayBlackAcrossRebuilds) {
  Rig rig;
  InitPalette(rig.s, rig.platform);
  struct Pass {
    int16_t scheme;
    PaletteEntry entry221;  // filler, or ramp step 120 with the fixed channels
  };
  for (const Pass& pass :
       {Pass{3, Entry(1, 221, 1)}, Pass{0, Entry(240, 201, 200)}, Pass{1, Entry(239, 240, 200)},
        Pass{2, Entry(239, 201, 240)}, Pass{3, Entry(1, 221, 1)}}) {
    rig.s.ColorScheme = pass.scheme;
    rig.s.LineRed = 239;
    rig.s.LineGreen = 201;
    rig.s.LineBlue = 200;
    PrepareFigurePalette(rig.s, rig.platform);
    ExpectUnusedEntriesBlack(rig.s);
    ExpectLoaded(rig);
    // A rebuild depends only on the state at the call.
    EXPECT_EQ(rig.s.PaletteEntries[221], pass.entry221) << pass.scheme;
  }
}

}  // namespace
}  // namespace zt
