#include "backdrop/backdrops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace zt {
namespace {

struct Rig : test::LoggingPlatform {
  SceneState s;

  Rig(int32_t width, int32_t height) {
    s.ScreenWidth = width;
    s.ScreenHeight = height;
    s.CenterX = width / 2;
    s.CenterY = height / 2;
    s.LayoutScale = 1;
    s.TwipsPerPixel = 15;
    s.CycleCount = 3;  // a status line, not the title card
  }
};

struct Fill {
  RectI rect;
  ColorRef color = 0;
};

std::vector<Fill> Fills(const std::vector<std::string>& log) {
  std::vector<Fill> fills;
  for (const std::string& line : log) {
    Fill f;
    unsigned color = 0;
    if (std::sscanf(line.c_str(), "fillrect %d,%d,%d,%d %u", &f.rect.left, &f.rect.top,
                    &f.rect.right, &f.rect.bottom, &color) == 5) {
      f.color = color;
      fills.push_back(f);
    }
  }
  return fills;
}

int32_t LevelOf(int32_t band) { return band <= 98 ? band : 196 - band; }

size_t IndexOf(const std::vector<std::string>& log, const std::string& entry) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] == entry) return i;
  }
  return log.size();
}

size_t FirstPrint(const std::vector<std::string>& log) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind("print ", 0) == 0) return i;
  }
  return log.size();
}

struct DirectCase {
  bool rows;
  int32_t width;
  int32_t height;
};

class DirectColourBands : public testing::TestWithParam<DirectCase> {};

TEST_P(DirectColourBands, TileTheWindowOnceFromBlackThroughLevel98) {
  const DirectCase c = GetParam();
  Rig rig(c.width, c.height);
  if (c.rows) {
    PaintRowBackdrop(rig.s, rig.platform);
  } else {
    PaintColumnBackdrop(rig.s, rig.platform);
  }
  const std::vector<Fill> fills = Fills(rig.fake.canvas.log);
  ASSERT_EQ(fills.size(), 197u);

  const int32_t extent = c.rows ? c.height : c.width;
  std::vector<int> painted(static_cast<size_t>(extent), 0);
  for (int32_t n = 0; n < 197; ++n) {
    const RectI& r = fills[static_cast<size_t>(n)].rect;
    const int32_t from = c.rows ? r.top : r.left;
    const int32_t to = c.rows ? r.bottom : r.right;
    EXPECT_EQ(from, n * extent / 197) << "band " << n;
    EXPECT_EQ(to, (n + 1) * extent / 197) << "band " << n;
    EXPECT_GE(to - from, extent / 197);
    EXPECT_LE(to - from, extent / 197 + 1);
    // The other axis spans the whole window.
    if (c.rows) {
      EXPECT_EQ(r.left, 0);
      EXPECT_EQ(r.right, c.width);
    } else {
      EXPECT_EQ(r.top, 0);
      EXPECT_EQ(r.bottom, c.height);
    }
    EXPECT_EQ(fills[static_cast<size_t>(n)].color, PackRgb(0, 0, LevelOf(n))) << "band " << n;
    for (int32_t i = from; i < to; ++i) ++painted[static_cast<size_t>(i)];
  }
  for (int32_t i = 0; i < extent; ++i) {
    EXPECT_EQ(painted[static_cast<size_t>(i)], 1) << "line " << i;
  }
  EXPECT_EQ(rig.s.BandLevel, 0);  // the last band is black again
}

INSTANTIATE_TEST_SUITE_P(Sizes, DirectColourBands,
                         testing::Values(DirectCase{true, 640, 480}, DirectCase{false, 600, 480},
                                         DirectCase{true, 1024, 768},
                                         DirectCase{false, 1366, 768}));

TEST(DirectColourBands, RowsAt480MatchTheKnownBands) {
  Rig rig(640, 480);
  PaintRowBackdrop(rig.s, rig.platform);
  const std::vector<Fill> fills = Fills(rig.fake.canvas.log);
  ASSERT_EQ(fills.size(), 197u);
  EXPECT_EQ(fills[0].rect, (RectI{0, 0, 640, 2}));
  EXPECT_EQ(fills[1].rect, (RectI{0, 2, 640, 4}));
  EXPECT_EQ(fills[98].rect, (RectI{0, 238, 640, 241}));
  EXPECT_EQ(fills[98].color, PackRgb(0, 0, 98));
  EXPECT_EQ(fills[196].rect.bottom, 480);
}

TEST(DirectColourBands, OneBrushPerBandCreatedAndDeletedBeforeTheNext) {
  Rig rig(800, 600);
  PaintColumnBackdrop(rig.s, rig.platform);
  std::set<unsigned> alive;
  unsigned created = 0;
  unsigned last = 0;
  int deletes = 0;
  for (const std::string& line : rig.fake.canvas.log) {
    unsigned value = 0;
    if (std::sscanf(line.c_str(), "brush %u", &value) == 1) {
      EXPECT_TRUE(alive.empty()) << "a second brush while one is alive";
      last = ++created;  // the fake hands out handles 1, 2, ...
      alive.insert(last);
    } else if (std::sscanf(line.c_str(), "delete %u", &value) == 1) {
      EXPECT_EQ(value, last);
      alive.erase(value);
      ++deletes;
    } else if (line.rfind("fillrect", 0) == 0) {
      EXPECT_EQ(alive.size(), 1u) << "fill without a live brush";
    }
  }
  EXPECT_EQ(created, 197u);
  EXPECT_EQ(deletes, 197);
  EXPECT_TRUE(alive.empty());
}

TEST(DirectColourBands, PaintIntoTheBackingImageWithoutClearOrPump) {
  Rig rig(800, 600);
  PaintRowBackdrop(rig.s, rig.platform);
  const std::vector<std::string>& log = rig.fake.canvas.log;
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "persistent on");
  const size_t last_fill = IndexOf(log, "delete 197");
  const size_t refresh = IndexOf(log, "refresh");
  const size_t off = IndexOf(log, "persistent off");
  ASSERT_LT(last_fill, log.size());
  EXPECT_EQ(refresh, last_fill + 1);
  EXPECT_EQ(off, refresh + 1);
  // The caption goes on the transient layer.
  EXPECT_GT(FirstPrint(log), off);
  for (size_t i = 0; i < off; ++i) {
    EXPECT_NE(log[i], "pump");
    EXPECT_EQ(log[i].rfind("clear", 0), std::string::npos);
    EXPECT_EQ(log[i].rfind("outline", 0), std::string::npos);
  }
}

TEST(BackdropCaptions, FirstRowBackdropShowsTheTitleCardAndCountsOne) {
  Rig rig(800, 600);
  rig.s.CycleCount = 0;
  PaintRowBackdrop(rig.s, rig.platform);
  const auto& texts = rig.fake.canvas.texts;
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "ZOLVEN TARIS");
  EXPECT_EQ(rig.s.CycleCount, 1);
  EXPECT_EQ(rig.fake.random.draws, 0);
}

TEST(BackdropCaptions, LaterRowBackdropPrintsTheStatusLineAndCountsOne) {
  Rig rig(800, 600);
  rig.s.CycleCount = 8;
  PaintRowBackdrop(rig.s, rig.platform);
  const auto& texts = rig.fake.canvas.texts;
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text.rfind("* KORVANTE * ", 0), 0u);
  EXPECT_EQ(rig.s.CycleCount, 1);
  EXPECT_EQ(rig.fake.random.draws, 1);
}

TEST(BackdropCaptions, ColumnBackdropPrintsTheStatusLineAndKeepsTheCount) {
  for (bool palette : {false, true}) {
    Rig rig(800, 600);
    rig.s.PaletteMode = palette ? 1 : 0;
    rig.s.CycleCount = 5;
    PaintColumnBackdrop(rig.s, rig.platform);
    const auto& texts = rig.fake.canvas.texts;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text.rfind("* KORVANTE * ", 0), 0u);
    EXPECT_EQ(rig.s.CycleCount, 5);
  }
}

struct PaletteCase {
  bool rows;
  int32_t width;
  int32_t height;
  int32_t band_size;
};

class PaletteModeBands : public testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteModeBands, ClearThenBoxesOfRoundedSizeWithoutOutline) {
  const PaletteCase c = GetParam();
  Rig rig(c.width, c.height);
  rig.s.PaletteMode = 1;
  if (c.rows) {
    PaintRowBackdrop(rig.s, rig.platform);
  } else {
    PaintColumnBackdrop(rig.s, rig.platform);
  }
  EXPECT_EQ(rig.s.BandSize, c.band_size);

  std::vector<std::string> expected = {"persistent on", "pump", "clear persistent", "outline 5"};
  for (int32_t n = 0; n < 197; ++n) {
    const int32_t from = n * c.band_size;
    const int32_t to = from + c.band_size;
    const std::string color = std::to_string(PackRgb(0, 0, LevelOf(n)));
    expected.push_back(c.rows ? "box 0," + std::to_string(from) + "," + std::to_string(c.width) +
                                    "," + std::to_string(to) + " " + color
                              : "box " + std::to_string(from) + ",0," + std::to_string(to) + "," +
                                    std::to_string(c.height) + " " + color);
  }
  for (const char* tail : {"pump", "outline 0", "refresh", "persistent off"}) {
    expected.push_back(tail);
  }
  const std::vector<std::string>& log = rig.fake.canvas.log;
  ASSERT_GE(log.size(), expected.size());
  const std::vector<std::string> painting(log.begin(),
                                          log.begin() + static_cast<long>(expected.size()));
  EXPECT_EQ(painting, expected);
  for (const std::string& line : log) {
    EXPECT_EQ(line.rfind("brush", 0), std::string::npos);
    EXPECT_EQ(line.rfind("fillrect", 0), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PaletteModeBands,
    testing::Values(PaletteCase{true, 640, 480, 2}, PaletteCase{false, 640, 480, 3},
                    PaletteCase{true, 800, 600, 3}, PaletteCase{false, 800, 600, 4},
                    PaletteCase{true, 1024, 768, 4}, PaletteCase{false, 1024, 768, 5}));

}  // namespace
}  // namespace zt
