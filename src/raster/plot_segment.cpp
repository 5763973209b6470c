#include "raster/plot_segment.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/numeric.h"

namespace zt {

namespace {

// Coordinates are worked in 32 bits rather than the 16 the stepper was made
// for: on any real screen every value stays far inside 16 bits, where both
// agree, and 32 bits keep screens wider than 32767 pixels correct. Absurd
// inputs (huge, infinite or NaN sums) are pinned to +-2^20 first, so the
// arithmetic can never overflow and a stray spoke walks a bounded number of
// pixels, all of them outside the depth buffer and skipped.
constexpr double kCoordinateLimit = 1 << 20;

int32_t FloorClamped(double v) {
  if (!(v >= -kCoordinateLimit)) return static_cast<int32_t>(-kCoordinateLimit);
  if (v > kCoordinateLimit) return static_cast<int32_t>(kCoordinateLimit);
  return static_cast<int32_t>(std::floor(v));
}

// The depth key is one 16-bit value for the whole spoke; beyond that range it
// saturates instead of wrapping, so order is kept.
int16_t DepthKey(const SceneState& s) {
  const double source = static_cast<double>(s.SteepTilt != 0 ? s.ProjY : s.ProjZ);
  const int32_t key = FloorClamped(source);
  if (key > INT16_MAX) return INT16_MAX;
  if (key < INT16_MIN) return INT16_MIN;
  return static_cast<int16_t>(key);
}

int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }

// The one line stepper with its row clip and depth test; `write` sets a pixel
// that won its cell. End 1 to end 2, both included, one pixel per step of the
// major axis; a tie in the error term takes the minor step.
template <typename WritePixel>
void WalkSpoke(SceneState& s, WritePixel&& write) {
  const double proj_x = static_cast<double>(s.ProjX);
  const double proj_y = static_cast<double>(s.ProjY);
  const int32_t row1 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY1));
  const int32_t row2 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY2));
  int32_t plot_x = FloorClamped(proj_x + static_cast<double>(s.SpokeDX1));
  int32_t plot_y = row1 + s.FigureOffsetY;
  const int32_t plot_dx = FloorClamped(proj_x + static_cast<double>(s.SpokeDX2)) - plot_x;
  const int32_t plot_dy = row2 - row1;

  const bool rows_major = std::abs(plot_dy) > std::abs(plot_dx);
  int32_t& major = rows_major ? plot_y : plot_x;
  int32_t& minor = rows_major ? plot_x : plot_y;
  const int32_t major_delta = rows_major ? plot_dy : plot_dx;
  const int32_t minor_delta = rows_major ? plot_dx : plot_dy;
  const int32_t a = std::abs(major_delta);
  const int32_t two_a = 2 * a;
  const int32_t two_b = 2 * std::abs(minor_delta);
  const int32_t major_step = Sign(major_delta);
  const int32_t minor_step = Sign(minor_delta);

  const int16_t key = DepthKey(s);
  const int32_t screen_height = s.ScreenHeight;
  const int32_t screen_width = s.ScreenWidth;
  DepthGrid& depth = s.DepthBuffer;

  int32_t plot_error = -a;
  for (int32_t step = 0; step <= a; ++step) {
    // Rows outside 1..height-1 are clipped; a column off the screen has no
    // cell and is skipped the same way.
    if (plot_y > 0 && plot_y < screen_height && plot_x <= screen_width &&
        depth.Contains(plot_x, plot_y)) {
      int16_t& cell = depth.At(plot_x, plot_y);
      if (cell == 0 || key > cell) {
        cell = key;
        write(plot_x, plot_y);
      }
    }
    major += major_step;
    plot_error += two_b;
    if (plot_error >= 0) {
      minor += minor_step;
      plot_error -= two_a;
    }
  }
}

}  // namespace

void PlotSegment(SceneState& s, Canvas& canvas) {
  const ColorRef color = PackRgb(s.LineRed, s.LineGreen, s.LineBlue);
  // The pixels that won their cells go to the canvas in batches: nothing
  // reads the canvas during a spoke, and a call per pixel cost a quarter of
  // the drawing time.
  std::array<PointI, 512> batch;
  size_t count = 0;
  auto flush = [&] {
    s.ApiResult = canvas.SetPixelsV(std::span(batch.data(), count), color, s.ApiResult);
    count = 0;
  };
  WalkSpoke(s, [&](int32_t x, int32_t y) {
    batch[count++] = PointI{x, y};
    if (count == batch.size()) flush();
  });
  if (count > 0) flush();
}

void PlotSegmentPalette(SceneState& s, Canvas& canvas) {
  const ColorRef color = PackRgb(s.LineRed, s.LineGreen, s.LineBlue);
  WalkSpoke(s, [&canvas, color](int32_t x, int32_t y) {
    canvas.PSet(static_cast<float>(x), static_cast<float>(y), color);
  });
}

}  // namespace zt
