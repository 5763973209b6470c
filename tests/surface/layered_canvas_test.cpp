#include "surface/canvas/layered_canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/window_cells.h"

namespace zt {
namespace {

constexpr ColorRef kRed = PackRgb(255, 0, 0);
constexpr ColorRef kBlue = PackRgb(0, 0, 255);

// A square block of full coverage, the size of the em.
class BlockText : public TextRasterizer {
 public:
  bool Render(const FontRequest& font, std::string_view, CoverageMask& out) override {
    out.width = out.height = font.pixel_size;
    out.alpha.assign(static_cast<size_t>(font.pixel_size) * font.pixel_size, 255);
    return true;
  }
};

CanvasConfig Config(int bits = 32) {
  CanvasConfig c;
  c.width = 200;
  c.height = 150;
  c.twips_per_pixel = 15;
  c.bits_per_pixel = bits;
  return c;
}

bool Covered(const std::vector<RectI>& rects, int x, int y) {
  for (const RectI& r : rects) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

TEST(LayeredCanvasTest, DirtyRectanglesCoverEveryChangedPixel) {
  LayeredCanvas canvas(Config(), nullptr);
  canvas.TakeDirtyRects();
  EXPECT_TRUE(canvas.TakeDirtyRects().empty());
  const std::vector<std::array<int, 2>> points{{0, 0}, {199, 149}, {64, 63}, {130, 70}};
  for (const auto& p : points) canvas.SetPixelV(p[0], p[1], kRed);
  const BrushHandle brush = canvas.CreateSolidBrush(kBlue);
  canvas.FillRect(RectI{70, 100, 90, 120}, brush);
  const std::vector<RectI> rects = canvas.TakeDirtyRects();
  for (const auto& p : points) EXPECT_TRUE(Covered(rects, p[0], p[1])) << p[0] << "," << p[1];
  for (int y = 100; y < 120; ++y) {
    for (int x = 70; x < 90; ++x) ASSERT_TRUE(Covered(rects, x, y)) << x << "," << y;
  }
  // Far from every change nothing is redrawn.
  EXPECT_FALSE(Covered(rects, 199, 0));
  for (const RectI& r : rects) {
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, 200);
    EXPECT_LE(r.bottom, 150);
  }
  EXPECT_TRUE(canvas.TakeDirtyRects().empty());
  // Persistent drawing alone changes nothing on the window.
  canvas.SetPersistentDrawing(true);
  canvas.SetPixelV(5, 5, kRed);
  EXPECT_TRUE(canvas.TakeDirtyRects().empty());
  canvas.SetPersistentDrawing(false);
  canvas.Refresh();
  EXPECT_TRUE(Covered(canvas.TakeDirtyRects(), 5, 5));
}

TEST(LayeredCanvasTest, TextIsDrawnAtTheCurrentPositionAndMarkedDirty) {
  BlockText text;
  LayeredCanvas canvas(Config(), &text);
  canvas.TakeDirtyRects();
  canvas.SetForeColor(kRed);
  canvas.SetCurrentX(100.7f);
  canvas.SetCurrentY(40);
  canvas.SetFontSize(15);  // 15 points at 15 twips per pixel: 20 pixels
  canvas.Print("X");
  EXPECT_EQ(canvas.ShownColor(100, 40), 0xFF0000u);
  EXPECT_EQ(canvas.ShownColor(119, 59), 0xFF0000u);
  EXPECT_EQ(canvas.ShownColor(120, 40), 0u);
  EXPECT_EQ(canvas.ShownColor(99, 40), 0u);
  EXPECT_TRUE(Covered(canvas.TakeDirtyRects(), 119, 59));
}

TEST(LayeredCanvasTest, PaletteModeTakesTheNearestIndexLowestOnTies) {
  std::array<PaletteEntry, 256> palette{};
  palette[3] = {100, 0, 0, 0};
  palette[7] = {100, 0, 0, 0};  // same colour later: loses the tie
  palette[9] = {0, 0, 200, 0};
  palette[10] = {110, 10, 0, 0};  // as far from (105, 5, 0) as entry 3
  EXPECT_EQ(NearestPaletteIndex(palette, Rgb{100, 0, 0}), 3);
  EXPECT_EQ(NearestPaletteIndex(palette, Rgb{105, 5, 0}), 3);
  EXPECT_EQ(NearestPaletteIndex(palette, Rgb{0, 0, 180}), 9);
  EXPECT_EQ(NearestPaletteIndex(palette, Rgb{0, 0, 0}), 0);  // all-black entries
}

TEST(LayeredCanvasTest, PixelsKeepTheirIndexWhenThePaletteChanges) {
  LayeredCanvas canvas(Config(8), nullptr);
  std::array<PaletteEntry, 256> palette{};
  for (int i = 0; i < 256; ++i) palette[i] = {static_cast<uint8_t>(i), 0, 0, 0};
  canvas.SetPaletteEntries(0, 256, palette.data());
  canvas.RealizePalette();
  canvas.SetPixelV(4, 4, PackRgb(101, 3, 0));
  EXPECT_EQ(test::WindowCell(canvas, 4, 4), 101u);
  EXPECT_EQ(canvas.ShownColor(4, 4), 0x650000u);
  canvas.TakeDirtyRects();

  for (int i = 0; i < 256; ++i) palette[i] = {0, static_cast<uint8_t>(i), 0, 0};
  canvas.SetPaletteEntries(0, 256, palette.data());
  // Loaded but not realised: the screen still shows the old colours.
  EXPECT_EQ(canvas.ShownColor(4, 4), 0x650000u);
  EXPECT_EQ(canvas.RealizePalette(), 255);  // entry 0 stayed black
  EXPECT_EQ(test::WindowCell(canvas, 4, 4), 101u);
  EXPECT_EQ(canvas.ShownColor(4, 4), 0x006500u);
  // Every pixel may have changed colour, so everything is shown again.
  EXPECT_TRUE(Covered(canvas.TakeDirtyRects(), 199, 149));
  // New colours are matched against the new palette.
  canvas.SetPixelV(5, 5, PackRgb(0, 50, 0));
  EXPECT_EQ(test::WindowCell(canvas, 5, 5), 50u);
  uint32_t row[3];
  canvas.ShownRow(4, 3, 6, row);
  EXPECT_EQ(row[0], 0u);
  EXPECT_EQ(row[1], 0x006500u);
}

// Coverage of every kind (empty runs, partial, full) at an unaligned spot
// that runs off the right edge, on the window layer and on the backing.
class SpeckledText : public TextRasterizer {
 public:
  bool Render(const FontRequest&, std::string_view, CoverageMask& out) override {
    out.width = 45;
    out.height = 6;
    out.alpha.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (size_t i = 0; i < out.alpha.size(); ++i) {
      if (i % 19 < 9) out.alpha[i] = static_cast<uint8_t>(i % 3 == 0 ? 255 : (i * 37) % 256);
    }
    return true;
  }
};

TEST(LayeredCanvasTest, PartlyCoveredTextBlendsOverWhatIsUnderIt) {
  SpeckledText text;
  constexpr Rgb kFore{200, 120, 40};
  for (const bool persistent : {false, true}) {
    LayeredCanvas canvas(Config(), &text);
    canvas.SetPersistentDrawing(true);
    canvas.FillRect(RectI{0, 0, 200, 150}, canvas.CreateSolidBrush(PackRgb(10, 20, 30)));
    canvas.Refresh();
    canvas.SetPersistentDrawing(persistent);
    canvas.SetForeColor(PackRgb(kFore.red, kFore.green, kFore.blue));
    canvas.SetCurrentX(171);
    canvas.SetCurrentY(13);
    canvas.Print("x");
    if (persistent) canvas.Refresh();
    CoverageMask mask;
    text.Render({}, "x", mask);
    for (int y = 10; y < 22; ++y) {
      for (int x = 160; x < 200; ++x) {
        const bool inside = x >= 171 && y >= 13 && y < 13 + mask.height;
        const uint32_t a =
            inside ? mask.alpha[static_cast<size_t>(y - 13) * mask.width + (x - 171)] : 0;
        const uint32_t under = 0x0A141E;
        const uint32_t want = a == 0 ? under : LayeredCanvas::InkOver(under, a, kFore);
        ASSERT_EQ(canvas.ShownColor(x, y), want) << x << "," << y << " persistent " << persistent;
      }
    }
  }
}

}  // namespace
}  // namespace zt
