// The cheap paths of the layered canvas: the shared-row backing image, the
// partial copy that clears the window, and the colour memo of 256-colour
// mode. Each is checked against the plain behaviour it stands in for.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "base/scene_state.h"
#include "support/window_cells.h"
#include "surface/canvas/layered_canvas.h"

namespace zt {
namespace {

// A plain image the shared rows must always equal.
struct PlainImage {
  int32_t width, height;
  std::vector<uint32_t> cells;
  void Fill(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t cell) {
    for (int32_t y = t; y < b; ++y) {
      for (int32_t x = l; x < r; ++x) cells[static_cast<size_t>(y) * width + x] = cell;
    }
  }
};

TEST(SharedRowsTest, RandomFillsAndWritesMatchAPlainImage) {
  constexpr int32_t kW = 37, kH = 29;
  std::mt19937 rng(1234);
  for (int round = 0; round < 20; ++round) {
    SharedRows rows;
    rows.Reset(kW, kH, 7);
    PlainImage plain{kW, kH, std::vector<uint32_t>(kW * kH, 7)};
    for (int op = 0; op < 60; ++op) {
      const uint32_t cell = rng() % 5;  // few values: rows often share
      switch (rng() % 4) {
        case 0: {  // whole-width band
          const int32_t t = static_cast<int32_t>(rng() % kH);
          const int32_t b = t + 1 + static_cast<int32_t>(rng() % (kH - t));
          rows.Fill(0, t, kW, b, cell);
          plain.Fill(0, t, kW, b, cell);
          break;
        }
        case 1: {  // full-height column band
          const int32_t l = static_cast<int32_t>(rng() % kW);
          const int32_t r = l + 1 + static_cast<int32_t>(rng() % (kW - l));
          rows.Fill(l, 0, r, kH, cell);
          plain.Fill(l, 0, r, kH, cell);
          break;
        }
        case 2: {  // any rectangle
          const int32_t l = static_cast<int32_t>(rng() % kW);
          const int32_t r = l + 1 + static_cast<int32_t>(rng() % (kW - l));
          const int32_t t = static_cast<int32_t>(rng() % kH);
          const int32_t b = t + 1 + static_cast<int32_t>(rng() % (kH - t));
          rows.Fill(l, t, r, b, cell);
          plain.Fill(l, t, r, b, cell);
          break;
        }
        default: {  // one pixel
          const int32_t x = static_cast<int32_t>(rng() % kW);
          const int32_t y = static_cast<int32_t>(rng() % kH);
          rows.MutableRow(y)[x] = cell;
          plain.cells[static_cast<size_t>(y) * kW + x] = cell;
          break;
        }
      }
      if (op % 7 == 0) rows.Share();
      std::vector<uint32_t> copy;
      rows.CopyTo(copy);
      ASSERT_EQ(copy, plain.cells) << "round " << round << " op " << op;
      ASSERT_LE(rows.StoredRows(), kH);
    }
  }
}

// Backdrops of bands, painted again and again as the scene cycle does, are
// held in a few hundred rows and never more.
TEST(SharedRowsTest, BandedBackdropsStaySmallAndDoNotGrow) {
  constexpr int32_t kW = 1920, kH = 1080, kBands = 197;
  SharedRows rows;
  rows.Reset(kW, kH, 0);
  int32_t most = 0;
  for (int cycle = 0; cycle < 6; ++cycle) {
    for (int32_t n = 0; n < kBands; ++n) {  // row bands
      rows.Fill(0, n * kH / kBands, kW, (n + 1) * kH / kBands, static_cast<uint32_t>(n));
      most = std::max(most, rows.StoredRows());
    }
    EXPECT_LE(rows.StoredRows(), kBands);
    EXPECT_EQ(rows.ExpandedRows(), 0);      // rows of one colour hold no cells
    for (int32_t n = 0; n < kBands; ++n) {  // column bands
      rows.Fill(n * kW / kBands, 0, (n + 1) * kW / kBands, kH, static_cast<uint32_t>(n));
      most = std::max(most, rows.StoredRows());
    }
    EXPECT_LE(rows.StoredRows(), kBands);
    rows.Share();
    EXPECT_EQ(rows.StoredRows(), 1);  // every row holds the same column bands
    EXPECT_EQ(rows.At(kW - 1, kH - 1), static_cast<uint32_t>(kBands - 1));
    EXPECT_EQ(rows.At(0, 0), 0u);
  }
  EXPECT_LE(most, 2 * kBands);
}

CanvasConfig Config(int32_t w, int32_t h, int bits = 32) {
  CanvasConfig c;
  c.width = w;
  c.height = h;
  c.bits_per_pixel = bits;
  return c;
}

bool Covered(const std::vector<RectI>& rects, int32_t x, int32_t y) {
  for (const RectI& r : rects) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

// After every clear or refresh the window equals the backing image, however
// the two layers were drawn on before, and every pixel that changed is in a
// dirty rectangle.
TEST(LayeredCanvasSyncTest, ClearAndRefreshMakeTheWindowEqualTheBacking) {
  constexpr int32_t kW = 150, kH = 90;
  for (int bits : {32, 8}) {
    LayeredCanvas canvas(Config(kW, kH, bits), nullptr);
    std::mt19937 rng(99);
    auto color = [&rng] { return PackRgb(rng() % 256, rng() % 256, rng() % 256); };
    for (int op = 0; op < 400; ++op) {
      switch (rng() % 7) {
        case 0:
          canvas.SetPersistentDrawing(rng() % 2 == 0);
          break;
        case 1:
        case 2:
          canvas.SetPixelV(static_cast<int32_t>(rng() % (kW + 10)) - 5,
                           static_cast<int32_t>(rng() % (kH + 10)) - 5, color());
          break;
        case 3: {
          const float x = static_cast<float>(rng() % kW), y = static_cast<float>(rng() % kH);
          canvas.FillBox(x, y, x + static_cast<float>(rng() % 40),
                         y + static_cast<float>(rng() % 30), color());
          break;
        }
        case 4: {
          const BrushHandle brush = canvas.CreateSolidBrush(color());
          const int32_t l = static_cast<int32_t>(rng() % kW), t = static_cast<int32_t>(rng() % kH);
          canvas.FillRect(RectI{l, t, l + static_cast<int32_t>(rng() % 80), kH}, brush);
          canvas.DeleteObject(brush);
          break;
        }
        default: {
          const std::vector<uint32_t> before = test::WindowCells(canvas);
          canvas.TakeDirtyRects();
          const bool persistent = canvas.Persistent();
          if (rng() % 2 == 0) {
            canvas.Refresh();
          } else {
            canvas.Clear();
          }
          if (persistent) break;  // a persistent clear leaves the window alone
          const std::vector<uint32_t> after = test::WindowCells(canvas);
          ASSERT_EQ(after, canvas.BackingCells()) << "bits " << bits << " op " << op;
          const std::vector<RectI> dirty = canvas.TakeDirtyRects();
          for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
              const size_t at = static_cast<size_t>(y) * kW + x;
              if (before[at] != after[at]) {
                ASSERT_TRUE(Covered(dirty, x, y)) << x << "," << y << " op " << op;
              }
            }
          }
          break;
        }
      }
    }
  }
}

// The window layer between syncs, against plain images of both layers: a
// block taken while the backing has changed unseen shows the old picture,
// blocks given back and drawn on again start from what shows, and a resize
// with blocks held starts both layers over.
TEST(LayeredCanvasSyncTest, WindowLayerFollowsPlainImagesOfBothLayers) {
  for (const int bits : {32, 8}) {
    LayeredCanvas canvas(Config(70, 45, bits), nullptr);
    std::array<PaletteEntry, 256> palette{};
    for (int i = 1; i < 256; ++i) palette[i] = {static_cast<uint8_t>(i), 7, 0, 0};
    canvas.SetPaletteEntries(0, 256, palette.data());
    canvas.RealizePalette();
    PlainImage backing{70, 45, std::vector<uint32_t>(70 * 45, 0)}, window = backing;
    std::mt19937 rng(5);
    for (int op = 0; op < 600; ++op) {
      const int32_t w = backing.width, h = backing.height;
      const uint32_t level = 1 + rng() % 255;
      const uint32_t cell = bits == 8 ? level : (level << 16) | (7 << 8);
      PlainImage& target = canvas.Persistent() ? backing : window;
      switch (rng() % 8) {
        case 0:
          canvas.SetPersistentDrawing(!canvas.Persistent());
          break;
        case 1:
        case 2: {  // a short run of pixels, as a spoke writes them
          const int32_t x = static_cast<int32_t>(rng() % w), y = static_cast<int32_t>(rng() % h);
          std::vector<PointI> points;
          for (int32_t i = 0; i < 20 && x + i < w; ++i) points.push_back({x + i, y + i / 3 % 2});
          canvas.SetPixelsV(points, PackRgb(level, 7, 0), 0);
          for (const PointI& p : points) {
            if (p.y < h) target.cells[static_cast<size_t>(p.y) * w + p.x] = cell;
          }
          break;
        }
        case 3: {  // across block borders
          const int32_t l = static_cast<int32_t>(rng() % w), t = static_cast<int32_t>(rng() % h);
          const int32_t r = std::min(w, l + 1 + static_cast<int32_t>(rng() % 40));
          const int32_t b = std::min(h, t + 1 + static_cast<int32_t>(rng() % 30));
          canvas.SetOutlineStyle(5);
          canvas.FillBox(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r),
                         static_cast<float>(b), PackRgb(level, 7, 0));
          target.Fill(l, t, r, b, cell);
          break;
        }
        case 4:
        case 5:
          if (rng() % 2 == 0 || !canvas.Persistent()) {
            canvas.Persistent() ? canvas.Refresh() : canvas.Clear();
            window = backing;
          } else {
            canvas.Clear();  // wipes the backing only
            backing.cells.assign(backing.cells.size(), 0);
          }
          break;
        case 6:
          if (rng() % 8 == 0) {
            const int32_t nw = 20 + static_cast<int32_t>(rng() % 60);
            const int32_t nh = 20 + static_cast<int32_t>(rng() % 40);
            canvas.Resize(nw, nh);
            backing = PlainImage{nw, nh, std::vector<uint32_t>(static_cast<size_t>(nw * nh), 0)};
            window = backing;
          }
          break;
        default:
          break;
      }
      ASSERT_EQ(test::WindowCells(canvas), window.cells) << "bits " << bits << " op " << op;
      ASSERT_EQ(canvas.BackingCells(), backing.cells) << "bits " << bits << " op " << op;
    }
    std::vector<uint32_t> shown(static_cast<size_t>(window.width));
    for (int32_t y = 0; y < window.height; ++y) {
      canvas.ShownRow(y, 0, window.width, shown.data());
      for (int32_t x = 0; x < window.width; ++x) {
        const uint32_t c = window.cells[static_cast<size_t>(y) * window.width + x];
        ASSERT_EQ(shown[static_cast<size_t>(x)], bits == 8 && c != 0 ? (c << 16) | (7 << 8) : c);
      }
    }
  }
}

TEST(LayeredCanvasSyncTest, ClearingASmallDrawingMarksOnlyItsSurroundings) {
  LayeredCanvas canvas(Config(1920, 1080), nullptr);
  canvas.SetPixelV(1000, 500, PackRgb(255, 0, 0));
  canvas.TakeDirtyRects();
  canvas.Clear();
  EXPECT_EQ(canvas.ShownColor(1000, 500), 0u);
  const std::vector<RectI> dirty = canvas.TakeDirtyRects();
  ASSERT_FALSE(dirty.empty());
  EXPECT_TRUE(Covered(dirty, 1000, 500));
  int64_t area = 0;
  for (const RectI& r : dirty) area += int64_t{r.right - r.left} * (r.bottom - r.top);
  EXPECT_LE(area, 64 * 64);
}

// A backdrop painted again over itself needs no showing; only what really
// changed in the backing image is marked at the refresh.
TEST(LayeredCanvasSyncTest, ARepaintedBackdropMarksOnlyWhatChanged) {
  constexpr int32_t kW = 640, kH = 480;
  auto bands = [](LayeredCanvas& c, int32_t level) {
    c.SetPersistentDrawing(true);
    for (int32_t b = 0; b < 12; ++b) {
      const BrushHandle brush = c.CreateSolidBrush(PackRgb(0, 0, level + b));
      c.FillRect(RectI{0, b * 40, kW, b * 40 + 40}, brush);
      c.DeleteObject(brush);
    }
  };
  struct Case {
    const char* what;
    std::function<void(LayeredCanvas&)> repaint;
    int64_t dirty_area;
  };
  const Case cases[] = {
      {"the same bands", [&](LayeredCanvas& c) { bands(c, 10); }, 0},
      {"other bands", [&](LayeredCanvas& c) { bands(c, 11); }, int64_t{kW} * kH},
      {"the same bands and one pixel",
       [&](LayeredCanvas& c) {
         bands(c, 10);
         c.SetPixelV(300, 200, PackRgb(255, 0, 0));
       },
       int64_t{kW} * 64},
      {"the same bands, a spoke on the window",
       [&](LayeredCanvas& c) {
         c.SetPersistentDrawing(false);
         c.SetPixelV(300, 200, PackRgb(255, 0, 0));
         bands(c, 10);
       },
       64 * 64},
  };
  for (const Case& k : cases) {
    LayeredCanvas canvas(Config(kW, kH), nullptr);
    bands(canvas, 10);
    canvas.Refresh();
    canvas.TakeDirtyRects();
    k.repaint(canvas);
    canvas.Refresh();
    int64_t area = 0;
    for (const RectI& r : canvas.TakeDirtyRects())
      area += int64_t{r.right - r.left} * (r.bottom - r.top);
    EXPECT_EQ(area, k.dirty_area) << k.what;
    EXPECT_EQ(test::WindowCells(canvas), canvas.BackingCells()) << k.what;
  }
}

// 256-colour mode remembers the last colour's index; a new palette must
// not be answered from that memory.
TEST(LayeredCanvasSyncTest, SameColourAfterANewPaletteTakesTheNewIndex) {
  LayeredCanvas canvas(Config(16, 16, 8), nullptr);
  std::array<PaletteEntry, 256> palette{};
  palette[5] = {200, 10, 10, 0};
  canvas.SetPaletteEntries(0, 256, palette.data());
  canvas.RealizePalette();
  const ColorRef red = PackRgb(210, 0, 0);
  canvas.SetPixelV(1, 1, red);
  EXPECT_EQ(test::WindowCell(canvas, 1, 1), 5u);
  palette[5] = {0, 0, 0, 0};
  palette[9] = {205, 5, 0, 0};
  canvas.SetPaletteEntries(0, 256, palette.data());
  canvas.RealizePalette();
  canvas.SetPixelV(2, 2, red);
  EXPECT_EQ(test::WindowCell(canvas, 2, 2), 9u);
}

// A batch of pixel writes is a run of single writes: same cells, same
// changed rectangles, same result, in every layer and colour mode.
TEST(LayeredCanvasSyncTest, BatchedPixelWritesEqualSingleOnes) {
  std::mt19937 rng(99);
  for (const int32_t bits : {32, 8}) {
    for (const bool persistent : {false, true}) {
      LayeredCanvas single(Config(70, 50, bits), nullptr), batched(Config(70, 50, bits), nullptr);
      for (LayeredCanvas* canvas : {&single, &batched}) {
        canvas->SetPersistentDrawing(persistent);
        canvas->TakeDirtyRects();
      }
      for (int round = 0; round < 30; ++round) {
        std::vector<PointI> points(rng() % 40);
        for (PointI& p : points) {
          // Some fall off the canvas on every side.
          p = PointI{static_cast<int32_t>(rng() % 80) - 5, static_cast<int32_t>(rng() % 60) - 5};
        }
        const ColorRef color = PackRgb(rng() % 256, rng() % 256, rng() % 256);
        int32_t expected = -7;
        for (const PointI& p : points) expected = single.SetPixelV(p.x, p.y, color);
        EXPECT_EQ(batched.SetPixelsV(points, color, -7), expected) << bits << " round " << round;
      }
      EXPECT_EQ(test::WindowCells(single), test::WindowCells(batched)) << bits;
      EXPECT_EQ(single.BackingCells(), batched.BackingCells()) << bits;
      EXPECT_EQ(single.TakeDirtyRects(), batched.TakeDirtyRects()) << bits;
      for (LayeredCanvas* canvas : {&single, &batched}) {
        canvas->SetPersistentDrawing(false);
        canvas->Clear();
      }
      EXPECT_EQ(test::WindowCells(single), test::WindowCells(batched)) << bits;
    }
  }
}

// Tiles are taken on first use; across their edges, after a reset, in
// copies and at sizes they do not divide, the grid must read as one array.
TEST(DepthGridTest, ReadsAsOneArrayEmptiedByEveryReset) {
  for (const auto& [width, height] : {std::pair{300, 200}, std::pair{31, 31}, std::pair{64, 3}}) {
    DepthGrid grid;
    grid.Reset(width, height);
    std::vector<int16_t> expected(static_cast<size_t>(width + 1) * static_cast<size_t>(height + 1));
    for (int32_t y = 0; y <= height; y += 7) {
      for (int32_t x = 0; x <= width; x += 3) {
        grid.Set(x, y, static_cast<int16_t>(x - y + 1000));
        expected[static_cast<size_t>(y) * static_cast<size_t>(width + 1) + static_cast<size_t>(x)] =
            static_cast<int16_t>(x - y + 1000);
      }
    }
    grid.Set(width, height, 5);
    expected.back() = 5;
    const DepthGrid copy = grid;
    EXPECT_EQ(copy.Cells(), expected) << width << "x" << height;
    EXPECT_EQ(std::as_const(grid).At(width, height), 5);
    grid.Reset(width, height);
    for (int16_t cell : grid.Cells()) ASSERT_EQ(cell, 0);
    EXPECT_EQ(copy.Cells(), expected) << "a copy keeps its own cells";
    grid.Set(1, 1, 9);  // a tile taken again after the reset starts empty
    EXPECT_EQ(std::as_const(grid).At(2, 1), 0);
  }
  DepthGrid grid;
  grid.Reset(10, 10);
  EXPECT_EQ(grid.Cells().size(), 121u);
}

// Every value is held and read back, and held values keep the order of the
// values, 0 (empty) below all.
TEST(DepthGridTest, HoldsEveryValueInOrder) {
  uint32_t last = 0;
  for (int32_t v = INT16_MIN; v <= INT16_MAX; ++v) {
    const auto value = static_cast<int16_t>(v);
    ASSERT_EQ(DepthGrid::Decode(DepthGrid::Encode(value)), value);
    if (v == 0) {
      ASSERT_EQ(DepthGrid::Encode(value), 0);
      continue;
    }
    ASSERT_GT(DepthGrid::Encode(value), last) << v;
    last = DepthGrid::Encode(value);
  }
}

}  // namespace
}  // namespace zt
