#include "raster/plot_segment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/fakes.h"

namespace zt {
namespace {

using test::FakeCanvas;
using test::PixelWrite;

struct Point {
  int32_t x;
  int32_t y;
  friend bool operator==(const Point&, const Point&) = default;
};

using Plotter = void (*)(SceneState&, Canvas&);

SceneState Screen(int32_t width = 800, int32_t height = 600) {
  SceneState s;
  s.ScreenWidth = width;
  s.ScreenHeight = height;
  s.DepthBuffer.Reset(width, height);
  s.ProjZ = 150.5f;
  return s;
}

// Puts the spoke centre at the origin so the offsets are the ends themselves.
void SetEnds(SceneState& s, Point a, Point b) {
  s.ProjX = 0;
  s.ProjY = 0;
  s.SpokeDX1 = static_cast<float>(a.x);
  s.SpokeDY1 = static_cast<float>(a.y);
  s.SpokeDX2 = static_cast<float>(b.x);
  s.SpokeDY2 = static_cast<float>(b.y);
}

std::vector<Point> Positions(const FakeCanvas& canvas) {
  std::vector<Point> out;
  for (const PixelWrite& w : canvas.pixels) out.push_back({w.x, w.y});
  return out;
}

class BothPlotters : public ::testing::TestWithParam<Plotter> {};

INSTANTIATE_TEST_SUITE_P(Plotters, BothPlotters,
                         ::testing::Values(&PlotSegment, &PlotSegmentPalette),
                         [](const auto& info) {
                           return info.param == &PlotSegment ? std::string("Direct")
                                                             : std::string("Palette");
                         });

struct LineCase {
  Point from, to;
  std::vector<Point> pixels;
};

TEST_P(BothPlotters, WalksTheDocumentedPixelsInOrder) {
  const std::vector<LineCase> cases = {
      {{10, 20}, {15, 22}, {{10, 20}, {11, 20}, {12, 21}, {13, 21}, {14, 22}, {15, 22}}},
      {{10, 20}, {12, 25}, {{10, 20}, {10, 21}, {11, 22}, {11, 23}, {12, 24}, {12, 25}}},
      // An exact half takes the minor step, so the direction of the walk
      // changes the pixels.
      {{10, 20}, {14, 22}, {{10, 20}, {11, 21}, {12, 21}, {13, 22}, {14, 22}}},
      {{14, 22}, {10, 20}, {{14, 22}, {13, 21}, {12, 21}, {11, 20}, {10, 20}}},
      {{10, 20}, {7, 23}, {{10, 20}, {9, 21}, {8, 22}, {7, 23}}},
      {{10, 20}, {10, 20}, {{10, 20}}},
      {{5, 9}, {5, 5}, {{5, 9}, {5, 8}, {5, 7}, {5, 6}, {5, 5}}},
  };
  for (const LineCase& c : cases) {
    SceneState s = Screen();
    FakeCanvas canvas;
    SetEnds(s, c.from, c.to);
    GetParam()(s, canvas);
    EXPECT_EQ(Positions(canvas), c.pixels)
        << "from " << c.from.x << "," << c.from.y << " to " << c.to.x << "," << c.to.y;
  }
}

TEST_P(BothPlotters, ClipsRowsStrictlyInsideTheScreen) {
  SceneState s = Screen(100, 50);
  FakeCanvas canvas;
  SetEnds(s, {10, 1}, {10, -3});
  GetParam()(s, canvas);
  EXPECT_EQ(Positions(canvas), (std::vector<Point>{{10, 1}}));

  canvas.pixels.clear();
  SetEnds(s, {20, 47}, {20, 51});
  GetParam()(s, canvas);
  EXPECT_EQ(Positions(canvas), (std::vector<Point>{{20, 47}, {20, 48}, {20, 49}}));

  // Clipped pixels leave the depth record alone, also rows 0 and 50 which
  // exist in it.
  for (int32_t x = 0; x <= 100; ++x) {
    EXPECT_EQ(s.DepthBuffer.At(x, 0), 0);
    EXPECT_EQ(s.DepthBuffer.At(x, 50), 0);
  }
  EXPECT_EQ(s.DepthBuffer.At(20, 49), 150);
}

TEST_P(BothPlotters, FloorsEndsAndAddsTheFigureOffset) {
  SceneState s = Screen();
  s.FigureOffsetY = 10;
  s.ProjX = 50;
  s.ProjY = 100;
  s.SpokeDX1 = s.SpokeDX2 = 0;
  s.SpokeDY1 = s.SpokeDY2 = -0.001f;  // 99.999
  FakeCanvas canvas;
  GetParam()(s, canvas);
  s.ProjX = 60.25f;
  s.ProjY = 0;
  s.SpokeDX1 = s.SpokeDX2 = -0.5f;  // column 59.75 -> 59
  s.SpokeDY1 = s.SpokeDY2 = -0.5f;  // row -0.5 -> -1, plus 10
  GetParam()(s, canvas);
  EXPECT_EQ(Positions(canvas), (std::vector<Point>{{50, 109}, {59, 9}}));
}

TEST_P(BothPlotters, SkipsColumnsOutsideTheScreen) {
  SceneState s = Screen(100, 50);
  FakeCanvas canvas;
  SetEnds(s, {-3, 10}, {2, 10});
  GetParam()(s, canvas);
  SetEnds(s, {98, 11}, {103, 11});
  GetParam()(s, canvas);
  EXPECT_EQ(Positions(canvas),
            (std::vector<Point>{{0, 10}, {1, 10}, {2, 10}, {98, 11}, {99, 11}, {100, 11}}));
}

TEST_P(BothPlotters, NeverTouchesCellsOutsideAnUnsizedOrSmallerBuffer) {
  SceneState s = Screen(100, 50);
  s.DepthBuffer.Reset(10, 10);  // smaller than the screen
  FakeCanvas canvas;
  SetEnds(s, {0, 5}, {30, 5});
  GetParam()(s, canvas);
  EXPECT_EQ(canvas.pixels.size(), 11u);
  SceneState empty = Screen(100, 50);
  empty.DepthBuffer = DepthGrid{};
  SetEnds(empty, {0, 5}, {30, 5});
  canvas.pixels.clear();
  GetParam()(empty, canvas);
  EXPECT_TRUE(canvas.pixels.empty());
}

TEST_P(BothPlotters, AbsurdInputsStayBoundedAndDrawNothing) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float bad : {inf, -inf, nan, 1e30f, -1e30f}) {
    SceneState s = Screen(64, 48);
    s.ProjX = bad;
    s.ProjY = 10;
    s.ProjZ = bad;
    s.SpokeDX1 = 3;
    s.SpokeDX2 = -3;
    FakeCanvas canvas;
    GetParam()(s, canvas);
    EXPECT_TRUE(canvas.pixels.empty()) << bad;
    s.ProjX = 10;
    s.ProjY = bad;
    GetParam()(s, canvas);
    EXPECT_TRUE(canvas.pixels.empty()) << bad;
  }
}

// Screens past 16 bits in one direction, and at the largest sizes whose
// pixels the walk packs into one number (kept thin so the buffer stays
// small): far columns and rows are still drawn where they belong, also when
// walked towards the origin.
TEST_P(BothPlotters, ScreensBeyondSixteenBitsKeepFarRowsAndColumns) {
  for (const int32_t size : {40000, 32768, 32767, 32766}) {
    SCOPED_TRACE(size);
    SceneState wide = Screen(size, 6);
    wide.ProjZ = 16000.5f;
    wide.ProjX = static_cast<float>(size - 10);
    wide.ProjY = 3;
    wide.SpokeDX1 = 10;
    wide.SpokeDX2 = -2000;
    wide.SpokeDY1 = -1;
    wide.SpokeDY2 = 1;
    FakeCanvas canvas;
    GetParam()(wide, canvas);
    ASSERT_EQ(canvas.pixels.size(), 2011u);
    EXPECT_EQ(Positions(canvas).front(), (Point{size, 2}));
    EXPECT_EQ(Positions(canvas).back(), (Point{size - 2010, 4}));
    EXPECT_EQ(wide.DepthBuffer.At(size, 2), 16000);

    SceneState tall = Screen(6, size);
    tall.FigureOffsetY = 300;
    tall.ProjX = 3;
    tall.ProjY = static_cast<float>(size - 1000);
    tall.SpokeDX1 = 2;
    tall.SpokeDX2 = -3;
    tall.SpokeDY1 = 699;
    tall.SpokeDY2 = -1000;
    canvas.pixels.clear();
    GetParam()(tall, canvas);
    ASSERT_EQ(canvas.pixels.size(), 1700u);  // rows size - 1 down to size - 1700
    EXPECT_EQ(Positions(canvas).front(), (Point{5, size - 1}));
    EXPECT_EQ(Positions(canvas).back(), (Point{0, size - 1700}));
  }
}

TEST_P(BothPlotters, LargerKeyOwnsACrossingWhateverTheOrder) {
  for (bool deeper_first : {false, true}) {
    SceneState s = Screen();
    FakeCanvas canvas;
    auto horizontal = [&] {
      SetEnds(s, {5, 10}, {15, 10});
      s.ProjZ = 140.9f;
      s.LineRed = 1;
      GetParam()(s, canvas);
    };
    auto vertical = [&] {
      SetEnds(s, {10, 5}, {10, 15});
      s.ProjZ = 141.0f;
      s.LineRed = 2;
      GetParam()(s, canvas);
    };
    if (deeper_first) {
      vertical();
      horizontal();
    } else {
      horizontal();
      vertical();
    }
    EXPECT_EQ(s.DepthBuffer.At(10, 10), 141);
    ColorRef last_at_crossing = 0;
    for (const PixelWrite& w : canvas.pixels)
      if (w.x == 10 && w.y == 10) last_at_crossing = w.color;
    EXPECT_EQ(last_at_crossing, PackRgb(2, 0, 0));
    // One spoke of 11 pixels and one of 10 around the shared pixel, plus the
    // crossing once more when the deeper spoke came second.
    EXPECT_EQ(canvas.pixels.size(), deeper_first ? 21u : 22u);
  }
}

TEST_P(BothPlotters, EqualKeysLeaveThePixelToTheFirstSpoke) {
  SceneState s = Screen();
  FakeCanvas canvas;
  SetEnds(s, {5, 10}, {15, 10});
  s.ProjZ = 140.2f;
  GetParam()(s, canvas);
  SetEnds(s, {10, 5}, {10, 15});
  s.ProjZ = 140.9f;
  GetParam()(s, canvas);
  EXPECT_EQ(canvas.pixels.size(), 21u);
}

TEST_P(BothPlotters, SteepTiltTakesTheKeyFromTheCentreRow) {
  SceneState s = Screen();
  s.SteepTilt = 1;
  FakeCanvas canvas;
  // Centre rows 300.75 and 300.25: equal keys, so the first spoke keeps the
  // shared pixel although the second has the larger depth.
  s.ProjX = 100;
  s.ProjY = 300.75f;
  s.ProjZ = 10;
  s.SpokeDX1 = -5;
  s.SpokeDX2 = 5;
  s.SpokeDY1 = s.SpokeDY2 = 0;
  s.FigureOffsetY = -50;
  GetParam()(s, canvas);
  EXPECT_EQ(s.DepthBuffer.At(100, 250), 300);
  s.ProjY = 300.25f;
  s.ProjZ = 390;
  s.SpokeDX1 = s.SpokeDX2 = 0;
  s.SpokeDY1 = -2.25f;
  s.SpokeDY2 = 2.75f;
  GetParam()(s, canvas);
  EXPECT_EQ(canvas.pixels.size(), 11u + 5u);
  // A lower centre (larger row) wins.
  s.ProjY = 301.25f;
  s.SpokeDY1 = -3.25f;
  s.SpokeDY2 = 1.75f;
  GetParam()(s, canvas);
  EXPECT_EQ(s.DepthBuffer.At(100, 250), 301);
}

TEST_P(BothPlotters, AStoredZeroStillCountsAsEmpty) {
  // Key 0 beats the negative keys on its way in, but once in, the cell
  // reads empty and anything takes it.
  struct Step {
    float depth;
    bool draws;
    int16_t holds;
  };
  const Step steps[] = {{0.5f, true, 0},     {-2.5f, true, -3},     {-4.0f, false, -3},
                        {0.25f, true, 0},    {-4.0f, true, -4},     {5.0f, true, 5},
                        {0.75f, false, 5},   {-32768.0f, false, 5}, {32767.5f, true, 32767},
                        {1e9f, false, 32767}};
  SceneState s = Screen();
  FakeCanvas canvas;
  SetEnds(s, {10, 10}, {10, 10});
  size_t drawn = 0;
  for (const Step& step : steps) {
    s.ProjZ = step.depth;
    GetParam()(s, canvas);
    drawn += step.draws ? 1 : 0;
    EXPECT_EQ(canvas.pixels.size(), drawn) << step.depth;
    EXPECT_EQ(s.DepthBuffer.At(10, 10), step.holds) << step.depth;
  }
}

TEST_P(BothPlotters, WritesTheLineColourPacked) {
  SceneState s = Screen();
  s.LineRed = 12;
  s.LineGreen = 34;
  s.LineBlue = 200;
  FakeCanvas canvas;
  SetEnds(s, {1, 1}, {3, 2});
  GetParam()(s, canvas);
  ASSERT_EQ(canvas.pixels.size(), 3u);
  for (const PixelWrite& w : canvas.pixels) {
    EXPECT_EQ(w.color, 0xC8220Cu);
    EXPECT_EQ(w.direct, GetParam() == &PlotSegment);
  }
}

// After n major steps the minor axis has moved floor(n*B/A + 1/2) times,
// towards end 2, and the walk ends exactly on end 2.
TEST_P(BothPlotters, RandomSpokesFollowTheRoundingRuleAndEndOnEnd2) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> coord(1, 180);
  for (int i = 0; i < 2000; ++i) {
    SceneState s = Screen(200, 200);
    const Point a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
    SetEnds(s, a, b);
    FakeCanvas canvas;
    GetParam()(s, canvas);
    const std::vector<Point> got = Positions(canvas);
    const int32_t dx = b.x - a.x, dy = b.y - a.y;
    const bool rows_major = std::abs(dy) > std::abs(dx);
    const int32_t major = rows_major ? std::abs(dy) : std::abs(dx);
    const int32_t minor = rows_major ? std::abs(dx) : std::abs(dy);
    ASSERT_EQ(got.size(), static_cast<size_t>(major) + 1);
    for (int32_t n = 0; n <= major; ++n) {
      const int32_t moved = major == 0 ? 0 : (2 * n * minor + major) / (2 * major);
      const int32_t along = n, across = moved;
      const int32_t sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
      const Point want = rows_major ? Point{a.x + sx * across, a.y + sy * along}
                                    : Point{a.x + sx * along, a.y + sy * across};
      ASSERT_EQ(got[n], want) << "spoke " << i << " pixel " << n;
    }
    EXPECT_EQ(got.back(), b);
  }
}

TEST(PlotSegment, StoresThePixelResultAndThePaletteTwinDoesNot) {
  SceneState s = Screen();
  FakeCanvas canvas;
  SetEnds(s, {1, 1}, {2, 1});
  s.ApiResult = 77;
  PlotSegmentPalette(s, canvas);
  EXPECT_EQ(s.ApiResult, 77);
  SetEnds(s, {1, 2}, {2, 2});
  PlotSegment(s, canvas);
  EXPECT_EQ(s.ApiResult, 1);
  // A spoke that writes nothing (row 0 is clipped) leaves the last result.
  s.ApiResult = 55;
  SetEnds(s, {1, 0}, {3, 0});
  PlotSegment(s, canvas);
  EXPECT_EQ(s.ApiResult, 55);
}

// The two plotters share their stepper: from the same state they write the
// same positions in the same order and leave the same depth record.
TEST(PlotSegment, BothPlottersAgreeOnRandomSpokesOverAFilledBuffer) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> pos(-40.0f, 360.0f);
  std::uniform_real_distribution<float> off(-60.0f, 60.0f);
  std::uniform_real_distribution<float> depth(-5.0f, 400.0f);
  std::uniform_int_distribution<int> flag(0, 1);
  std::uniform_int_distribution<int> shift(-30, 30);
  SceneState direct = Screen(320, 240);
  SceneState palette = Screen(320, 240);
  FakeCanvas direct_canvas, palette_canvas;
  for (int i = 0; i < 3000; ++i) {
    SceneState& s = direct;
    s.ProjX = pos(rng);
    s.ProjY = pos(rng);
    s.ProjZ = depth(rng);
    s.SpokeDX1 = off(rng);
    s.SpokeDY1 = off(rng);
    s.SpokeDX2 = off(rng);
    s.SpokeDY2 = off(rng);
    s.SteepTilt = static_cast<int16_t>(flag(rng));
    s.FigureOffsetY = static_cast<int16_t>(shift(rng));
    s.LineRed = static_cast<int16_t>(i % 256);
    palette.ProjX = s.ProjX;
    palette.ProjY = s.ProjY;
    palette.ProjZ = s.ProjZ;
    palette.SpokeDX1 = s.SpokeDX1;
    palette.SpokeDY1 = s.SpokeDY1;
    palette.SpokeDX2 = s.SpokeDX2;
    palette.SpokeDY2 = s.SpokeDY2;
    palette.SteepTilt = s.SteepTilt;
    palette.FigureOffsetY = s.FigureOffsetY;
    palette.LineRed = s.LineRed;
    PlotSegment(direct, direct_canvas);
    PlotSegmentPalette(palette, palette_canvas);
  }
  ASSERT_GT(direct_canvas.pixels.size(), 10000u);
  ASSERT_EQ(direct_canvas.pixels.size(), palette_canvas.pixels.size());
  for (size_t i = 0; i < direct_canvas.pixels.size(); ++i) {
    PixelWrite d = direct_canvas.pixels[i];
    d.direct = false;
    ASSERT_EQ(d, palette_canvas.pixels[i]) << i;
  }
  EXPECT_TRUE(std::ranges::equal(direct.DepthBuffer.Cells(), palette.DepthBuffer.Cells()));
}

}  // namespace
}  // namespace zt
