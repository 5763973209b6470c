#include "app/runner/render_canvas.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <vector>

#include "support/window_cells.h"

namespace zt {
namespace {

struct Case {
  const char* name;
  int32_t screen_width, screen_height;  // what the spokes are clipped to
  int32_t canvas_width, canvas_height;
  int32_t bits;
  bool persistent;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class RenderCanvasSpokes : public ::testing::TestWithParam<Case> {};

INSTANTIATE_TEST_SUITE_P(Cases, RenderCanvasSpokes,
                         ::testing::Values(Case{"OddSize", 203, 117, 203, 117, 32, false},
                                           Case{"WholeBlocks", 320, 240, 320, 240, 32, false},
                                           Case{"CanvasSmaller", 320, 240, 197, 150, 32, false},
                                           Case{"CanvasLarger", 150, 100, 320, 240, 32, false},
                                           Case{"Palette", 203, 117, 203, 117, 8, false},
                                           Case{"Persistent", 203, 117, 203, 117, 32, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Spokes written straight into the window cells leave what the canvas's
// own pixel calls leave: every cell, every depth cell, and the result of
// each spoke, also over a backdrop, across a clear and past every edge.
TEST_P(RenderCanvasSpokes, LeaveWhatThePixelCallsLeave) {
  const Case& c = GetParam();
  CanvasConfig config;
  config.width = c.canvas_width;
  config.height = c.canvas_height;
  config.bits_per_pixel = c.bits;
  LayeredCanvas plain(config, nullptr);
  RenderCanvas fused(config, nullptr);
  SceneState a, b;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> pos(-30.0f, static_cast<float>(c.screen_width) + 30.0f);
  std::uniform_real_distribution<float> off(-70.0f, 70.0f);
  std::uniform_real_distribution<float> depth(-5.0f, 400.0f);
  for (LayeredCanvas* canvas : {&plain, static_cast<LayeredCanvas*>(&fused)}) {
    canvas->SetPersistentDrawing(true);
    canvas->FillBox(0, 10, 60, 40, PackRgb(0, 0, 90));
    canvas->SetPersistentDrawing(c.persistent);
    canvas->Refresh();
  }
  for (SceneState* s : {&a, &b}) {
    s->ScreenWidth = c.screen_width;
    s->ScreenHeight = c.screen_height;
    s->DepthBuffer.Reset(c.screen_width, c.screen_height);
  }
  for (int i = 0; i < 1500; ++i) {
    if (i == 700) {
      plain.Clear();
      fused.Clear();
    }
    const float x = pos(rng), y = pos(rng) * static_cast<float>(c.screen_height) /
                                  static_cast<float>(c.screen_width);
    const float z = depth(rng), dx1 = off(rng), dy1 = off(rng), dx2 = off(rng), dy2 = off(rng);
    for (SceneState* s : {&a, &b}) {
      s->ProjX = x;
      s->ProjY = y;
      s->ProjZ = z;
      s->SpokeDX1 = dx1;
      s->SpokeDY1 = dy1;
      s->SpokeDX2 = dx2;
      s->SpokeDY2 = dy2;
      s->LineRed = static_cast<int16_t>(i % 256);
      s->LineBlue = static_cast<int16_t>(i * 7 % 256);
      s->ApiResult = -1;
    }
    PlotSegment(a, plain);
    PlotSegment(b, fused);
    ASSERT_EQ(a.ApiResult, b.ApiResult) << "spoke " << i;
  }
  EXPECT_EQ(test::WindowCells(plain), test::WindowCells(fused));
  EXPECT_EQ(plain.BackingCells(), fused.BackingCells());
  EXPECT_EQ(a.DepthBuffer.Cells(), b.DepthBuffer.Cells());
}

}  // namespace
}  // namespace zt
