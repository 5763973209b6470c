#include "raster/plot_segment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

// Pixels that won their cells reach the canvas in batches of at most this
// many: nothing reads the canvas during a spoke, and a call per pixel cost a
// quarter of the drawing time. The storage is left uninitialised, as every
// spoke would otherwise clear it first.
constexpr int32_t kBatch = 512;
struct Batch {
  alignas(PointI) std::array<std::byte, sizeof(PointI) * kBatch> storage;
  PointI* data() { return reinterpret_cast<PointI*>(storage.data()); }
};

// One spoke as the stepper sees it.
struct Spoke {
  int32_t two_a, two_b;
  int32_t major_step, minor_step;
  int16_t key;
  uint32_t rows, columns;  // the clip, see WalkSpoke
};
struct StepperState {
  int32_t x, y, error;
};

[[gnu::noinline, gnu::cold]] void TakeTile(DepthGrid& depth, size_t t) { depth.TileCells(t); }

// `steps` steps of the line stepper with the depth test, storing the pixels
// that won their cells at `out`; returns how many. Specialised on the major
// axis and on whether any pixel can fall outside, so the loop keeps its
// state in registers.
template <bool kRowsMajor, bool kClip>
size_t WalkSteps(const Spoke& spoke, StepperState& state, int32_t steps, DepthGrid& depth,
                 PointI* out) {
  int32_t x = state.x, y = state.y, error = state.error;
  const int32_t two_a = spoke.two_a, two_b = spoke.two_b;
  const int32_t major = spoke.major_step, minor = spoke.minor_step;
  const int32_t key = spoke.key;
  PointI* const first = out;
  // A point of the tile in use: a pixel is in that tile when it differs from
  // the point only in the bits below the tile size. Pixels tested are never
  // negative, so INT32_MIN matches none: no tile is in use at first.
  int32_t tile_x = INT32_MIN, tile_y = 0;
  int16_t* tile = nullptr;
  while (steps > 0) {
    if (!kClip ||
        (static_cast<uint32_t>(y - 1) < spoke.rows && static_cast<uint32_t>(x) < spoke.columns)) {
      if (static_cast<uint32_t>((x ^ tile_x) | (y ^ tile_y)) >= DepthGrid::kTileSize) {
        const size_t t = depth.TileOf(x, y);
        tile = depth.TakenTile(t);
        if (tile == nullptr) {
          // Taken out of line and the pixel tried again: a call inside the
          // loop would push its state out of registers.
          TakeTile(depth, t);
          continue;
        }
        tile_x = x;
        tile_y = y;
      }
      int16_t& cell = tile[DepthGrid::CellOf(x, y)];
      // Which spoke wins is no pattern a branch could learn, so the test is
      // arithmetic: an empty cell ranks below every key, and the winner's
      // key is blended in by mask.
      const int32_t held = cell;
      const int32_t rank = held - (static_cast<int32_t>(held == 0) << 17);
      const int32_t wins = static_cast<int32_t>(key > rank);
      cell = static_cast<int16_t>(held + ((key - held) & -wins));
      std::construct_at(out, PointI{x, y});
      out += wins;
    }
    if constexpr (kRowsMajor) {
      y += major;
    } else {
      x += major;
    }
    error += two_b;
    const int32_t take = -static_cast<int32_t>(error >= 0);  // all ones or none
    if constexpr (kRowsMajor) {
      x += minor & take;
    } else {
      y += minor & take;
    }
    error -= two_a & take;
    --steps;
  }
  state = StepperState{x, y, error};
  return static_cast<size_t>(out - first);
}

// The one line stepper with its row clip and depth test; `flush` takes each
// batch of pixels that won their cells, in order. End 1 to end 2, both
// included, one pixel per step of the major axis; a tie in the error term
// takes the minor step.
template <typename Flush>
void WalkSpoke(SceneState& s, Batch& batch, Flush&& flush) {
  const double proj_x = static_cast<double>(s.ProjX);
  const double proj_y = static_cast<double>(s.ProjY);
  const int32_t row1 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY1));
  const int32_t row2 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY2));
  const int32_t x1 = FloorClamped(proj_x + static_cast<double>(s.SpokeDX1));
  const int32_t y1 = row1 + s.FigureOffsetY;
  const int32_t x2 = FloorClamped(proj_x + static_cast<double>(s.SpokeDX2));
  const int32_t plot_dx = x2 - x1;
  const int32_t plot_dy = row2 - row1;
  const int32_t y2 = y1 + plot_dy;

  const bool rows_major = std::abs(plot_dy) > std::abs(plot_dx);
  const int32_t major_delta = rows_major ? plot_dy : plot_dx;
  const int32_t minor_delta = rows_major ? plot_dx : plot_dy;
  const int32_t a = std::abs(major_delta);
  DepthGrid& depth = s.DepthBuffer;
  Spoke spoke{};
  spoke.two_a = 2 * a;
  spoke.two_b = 2 * std::abs(minor_delta);
  spoke.major_step = Sign(major_delta);
  spoke.minor_step = Sign(minor_delta);
  spoke.key = DepthKey(s);
  // Rows 1..height-1 are drawn, columns 0..width; a pixel without a cell is
  // skipped like a clipped row. Both tests fold into one unsigned compare,
  // and a spoke whose ends pass them has every pixel inside.
  spoke.rows = static_cast<uint32_t>(
      std::max<int64_t>(std::min<int64_t>(s.ScreenHeight, depth.Rows()) - 1, 0));
  spoke.columns = static_cast<uint32_t>(
      std::max<int64_t>(std::min<int64_t>(int64_t{s.ScreenWidth} + 1, depth.Columns()), 0));
  auto inside = [&spoke](int32_t x, int32_t y) {
    return static_cast<uint32_t>(y - 1) < spoke.rows && static_cast<uint32_t>(x) < spoke.columns;
  };
  const bool clip = !inside(x1, y1) || !inside(x2, y2);
  auto walk = rows_major ? (clip ? &WalkSteps<true, true> : &WalkSteps<true, false>)
                         : (clip ? &WalkSteps<false, true> : &WalkSteps<false, false>);

  StepperState state{x1, y1, -a};
  for (int32_t left = a + 1; left > 0; left -= kBatch) {
    const size_t count = walk(spoke, state, std::min(left, kBatch), depth, batch.data());
    if (count > 0) flush(std::span<const PointI>(batch.data(), count));
  }
}

}  // namespace

void PlotSegment(SceneState& s, Canvas& canvas) {
  const ColorRef color = PackRgb(s.LineRed, s.LineGreen, s.LineBlue);
  Batch batch;
  WalkSpoke(s, batch, [&](std::span<const PointI> points) {
    s.ApiResult = canvas.SetPixelsV(points, color, s.ApiResult);
  });
}

void PlotSegmentPalette(SceneState& s, Canvas& canvas) {
  const ColorRef color = PackRgb(s.LineRed, s.LineGreen, s.LineBlue);
  Batch batch;
  WalkSpoke(s, batch, [&canvas, color](std::span<const PointI> points) {
    for (const PointI& p : points) {
      canvas.PSet(static_cast<float>(p.x), static_cast<float>(p.y), color);
    }
  });
}

}  // namespace zt
