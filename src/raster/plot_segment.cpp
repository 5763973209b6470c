#include "raster/plot_segment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
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

// The depth test of a spoke's key on cells as stored: the key wins a cell
// holding less than `below` and leaves `stored` in it. A key of 0 counts as
// empty once it is in (the cell holds 0), but on its way in it beats every
// negative key as the plain 0 it is.
struct DepthTest {
  uint32_t below, stored;
  explicit DepthTest(int16_t key)
      : below(key == 0 ? DepthGrid::Encode(1) : DepthGrid::Encode(key)),
        stored(DepthGrid::Encode(key)) {}
};

// One spoke as the stepper sees it.
struct Spoke {
  int32_t two_a, two_b;
  int32_t major_step, minor_step;
  DepthTest test;
  uint32_t rows, columns;  // the clip, see WalkSpoke
};
struct StepperState {
  int32_t x, y, error;
};

// A pixel as one number, y * 2^16 + x, for spokes inside a clip of at most
// 2^15 columns and rows: it steps, finds its region and its place in the
// region with fewer instructions than a pair, and leaves the loop the
// registers for the rest.
constexpr int32_t kPackedRow = 1 << 16;
constexpr uint32_t kPackedColumns = 1u << 15;
constexpr uint32_t kPackedRows = (1u << 15) - 2;  // a step past the last row still fits
constexpr int32_t UnpackX(int32_t pixel) { return pixel & (kPackedRow - 1); }
constexpr int32_t UnpackY(int32_t pixel) { return pixel >> 16; }

// The depth test: 1 when the spoke wins the cell, which then holds its key.
// Which spoke wins is no pattern a branch could learn, so the test is
// arithmetic and the key is blended in by mask.
inline int32_t TakeCell(DepthGrid::Stored& cell, DepthTest test) {
  const uint32_t held = cell;
  const int32_t wins = static_cast<int32_t>(held < test.below);
  cell =
      static_cast<DepthGrid::Stored>(held ^ ((held ^ test.stored) & static_cast<uint32_t>(-wins)));
  return wins;
}

[[gnu::noinline]] void TakeTile(DepthGrid& depth, size_t t) { depth.TileCells(t); }

// Where the pixels that won their cells go: kept in order as points for a
// canvas call, or written straight into the window's cells.
struct ToPoints {
  static constexpr int32_t kRegion = DepthGrid::kTileSize;
  PointI* out;
  void Enter(int32_t, int32_t) {}
  void Visit(DepthGrid::Stored& cell, DepthTest test, int32_t x, int32_t y, size_t) {
    std::construct_at(out, PointI{x, y});
    out += TakeCell(cell, test);
  }
  void VisitPacked(DepthGrid::Stored& cell, DepthTest test, int32_t pixel, size_t place) {
    Visit(cell, test, UnpackX(pixel), UnpackY(pixel), place);
  }
};

struct ToCells {
  // A depth tile is a block of cells: a pixel has the same place in both.
  static constexpr int32_t kRegion = SpokeTarget::kBlockSize;
  static_assert(DepthGrid::kTileSize == kRegion);
  SpokeTarget* target;
  uint32_t* cells = nullptr;
  uint32_t colour = 0;
  // The last pixel that won, as SetPixelV's result for it is kept, taken
  // by mask like the pixel itself: a pair (x INT32_MIN while none has), or
  // packed (-1 while none has), as the walk has it.
  PointI last{INT32_MIN, 0};
  int32_t last_packed = -1;
  void Enter(int32_t x, int32_t y) { cells = target->BlockFor(x, y); }
  void Visit(DepthGrid::Stored& cell, DepthTest test, int32_t x, int32_t y, size_t place) {
    const int32_t wins = TakeCell(cell, test);
    uint32_t& pixel = cells[place];
    // Written whether it won or not, so there is no branch to mispredict.
    pixel ^= (pixel ^ colour) & static_cast<uint32_t>(-wins);
    last.x = wins != 0 ? x : last.x;
    last.y = wins != 0 ? y : last.y;
  }
  void VisitPacked(DepthGrid::Stored& cell, DepthTest test, int32_t pixel, size_t place) {
    uint32_t& shown = cells[place];
#if defined(__GNUC__) && defined(__x86_64__)
    // TakeCell and Visit's writes, with the one compare's flags picking
    // every value: the compilers spend more instructions per pixel on
    // masks, or turn a pick into a jump.
    uint32_t held, value;
    asm("movzwl %[cell], %[held]\n\t"
        "movl %[shown], %[value]\n\t"
        "cmpl %[below], %[held]\n\t"
        "cmovbl %[stored], %[held]\n\t"
        "cmovbl %[colour], %[value]\n\t"
        "cmovbl %[pixel], %[last]\n\t"
        "movw %w[held], %[cell]\n\t"
        "movl %[value], %[shown]"
        : [held] "=&r"(held), [value] "=&r"(value), [cell] "+m"(cell), [shown] "+m"(shown),
          [last] "+r"(last_packed)
        : [below] "r"(test.below), [stored] "r"(test.stored), [colour] "rm"(colour),
          [pixel] "rm"(pixel)
        : "cc");
#else
    const int32_t wins = TakeCell(cell, test);
    shown ^= (shown ^ colour) & static_cast<uint32_t>(-wins);
    last_packed = wins != 0 ? pixel : last_packed;
#endif
  }
  std::optional<PointI> Last() const {
    if (last_packed >= 0) return PointI{UnpackX(last_packed), UnpackY(last_packed)};
    if (last.x != INT32_MIN) return last;
    return std::nullopt;
  }
};

// The stepper's error term and minor axis, one step on: a tie takes the
// minor step. The outcome with the minor step is formed beside the other
// and picked by the sign of the add, with no test of its own. Compilers
// turn the pick into a jump, which fails on about every other step, so on
// x86-64 it is spelt out.
inline void NextError(int32_t& error, int32_t two_b, int32_t minus_two_a, int32_t& minor_axis,
                      int32_t minor_step) {
#if defined(__GNUC__) && defined(__x86_64__)
  int32_t wrapped, moved;
  asm("addl %[two_b], %[error]\n\t"
      "leal (%[error],%[minus_two_a]), %[wrapped]\n\t"
      "leal (%[axis],%[step]), %[moved]\n\t"
      "cmovnsl %[wrapped], %[error]\n\t"
      "cmovnsl %[moved], %[axis]"
      :
      [error] "+&r"(error), [axis] "+&r"(minor_axis), [wrapped] "=&r"(wrapped), [moved] "=&r"(moved)
      : [two_b] "r"(two_b), [minus_two_a] "r"(minus_two_a), [step] "r"(minor_step)
      : "cc");
#else
  error += two_b;
  const bool take = error >= 0;
  error += take ? minus_two_a : 0;
  minor_axis += take ? minor_step : 0;
#endif
}

// `steps` steps of the line stepper with the row clip and the depth test,
// each pixel that won its cell given to `out`; for any spoke.
template <bool kRowsMajor, typename Out>
void WalkClipped(const Spoke& spoke, StepperState& state, int32_t steps, DepthGrid& depth,
                 Out& into) {
  int32_t x = state.x, y = state.y, error = state.error;
  const int32_t two_b = spoke.two_b, minus_two_a = -spoke.two_a;
  const int32_t major = spoke.major_step, minor = spoke.minor_step;
  const DepthTest test = spoke.test;
  Out out = into;
  // A point of the region in use (its depth tile, and its block of cells):
  // a pixel is in it when it differs from the point only in the bits below
  // the region's size. Pixels tested are never negative, so INT32_MIN
  // matches none: no region is in use at first.
  int32_t region_x = INT32_MIN, region_y = 0;
  DepthGrid::Stored* tile = nullptr;
  while (steps > 0) {
    if (static_cast<uint32_t>(y - 1) < spoke.rows && static_cast<uint32_t>(x) < spoke.columns) {
      if (static_cast<uint32_t>((x ^ region_x) | (y ^ region_y)) >= Out::kRegion) {
        const size_t t = depth.TileOf(x, y);
        tile = depth.TakenTile(t);
        if (tile == nullptr) {
          TakeTile(depth, t);
          continue;
        }
        out.Enter(x, y);
        region_x = x;
        region_y = y;
      }
      const size_t place = DepthGrid::CellOf(x, y);
      out.Visit(tile[place], test, x, y, place);
    }
    if constexpr (kRowsMajor) {
      y += major;
      NextError(error, two_b, minus_two_a, x, minor);
    } else {
      x += major;
      NextError(error, two_b, minus_two_a, y, minor);
    }
    --steps;
  }
  state = StepperState{x, y, error};
  into = out;
}

// The same for a spoke with every pixel inside, on a canvas small enough
// for packed pixels, the walk nearly every spoke takes. Specialised on the
// major axis and the direction along it, so the loop keeps its state in
// registers.
template <bool kRowsMajor, int32_t kMajor, typename Out>
void WalkPacked(const Spoke& spoke, StepperState& state, int32_t steps, DepthGrid& depth,
                Out& into) {
  static_assert(Out::kRegion == 16);
  constexpr int32_t major = kRowsMajor ? kMajor * kPackedRow : kMajor;
  const int32_t minor = kRowsMajor ? spoke.minor_step : spoke.minor_step * kPackedRow;
  // The bits of a packed pixel that name its region.
  constexpr int32_t kRegionBits = ~((Out::kRegion - 1) * (kPackedRow + 1));
  int32_t pixel = state.y * kPackedRow + state.x, error = state.error;
  const int32_t two_b = spoke.two_b, minus_two_a = -spoke.two_a;
  const DepthTest test = spoke.test;
  Out out = into;
  // A pixel of the region in use; pixels walked are never negative, so
  // INT32_MIN matches none: no region is in use at first.
  int32_t region = INT32_MIN;
  DepthGrid::Stored* tile = nullptr;
  while (steps > 0) {
    if (((pixel ^ region) & kRegionBits) != 0) [[unlikely]] {
      const size_t t = depth.TileOf(UnpackX(pixel), UnpackY(pixel));
      tile = depth.TakenTile(t);
      if (tile == nullptr) {
        // Taken out of line and the pixel tried again: a call inside the
        // loop would push its state out of registers.
        TakeTile(depth, t);
        continue;
      }
      out.Enter(UnpackX(pixel), UnpackY(pixel));
      region = pixel;
    }
    // DepthGrid::CellOf of the pair.
    const uint32_t bits = static_cast<uint32_t>(pixel);
    const size_t place = ((bits >> 12) & 0xF0) | (bits & 0xF);
    out.VisitPacked(tile[place], test, pixel, place);
    pixel += major;
    NextError(error, two_b, minus_two_a, pixel, minor);
    --steps;
  }
  // A step past the last pixel may leave the canvas; nothing walks on from
  // there.
  state = StepperState{UnpackX(pixel), UnpackY(pixel), error};
  into = out;
}

// The one line stepper with its row clip and depth test; `run` walks a
// number of steps with one of the specialised loops. End 1 to end 2, both
// included, one pixel per step of the major axis; a tie in the error term
// takes the minor step.
template <typename Out, typename Run>
void WalkSpoke(const SpokeLine& line, DepthGrid& depth, Run&& run) {
  const int32_t plot_dx = line.x2 - line.x1;
  const int32_t plot_dy = line.y2 - line.y1;
  const bool rows_major = std::abs(plot_dy) > std::abs(plot_dx);
  const int32_t major_delta = rows_major ? plot_dy : plot_dx;
  const int32_t minor_delta = rows_major ? plot_dx : plot_dy;
  const int32_t a = std::abs(major_delta);
  const Spoke spoke{2 * a,
                    2 * std::abs(minor_delta),
                    Sign(major_delta),
                    Sign(minor_delta),
                    DepthTest(line.key),
                    line.rows,
                    line.columns};
  // Both clip tests fold into one unsigned compare, and a spoke whose ends
  // pass them has every pixel inside.
  auto inside = [&spoke](int32_t x, int32_t y) {
    return static_cast<uint32_t>(y - 1) < spoke.rows && static_cast<uint32_t>(x) < spoke.columns;
  };
  const bool packed = inside(line.x1, line.y1) && inside(line.x2, line.y2) &&
                      spoke.columns <= kPackedColumns && spoke.rows <= kPackedRows;
  using Walk = void (*)(const Spoke&, StepperState&, int32_t, DepthGrid&, Out&);
  static constexpr Walk kPacked[2][2] = {{&WalkPacked<false, -1, Out>, &WalkPacked<false, 1, Out>},
                                         {&WalkPacked<true, -1, Out>, &WalkPacked<true, 1, Out>}};
  const Walk walk = packed       ? kPacked[rows_major][major_delta >= 0]
                    : rows_major ? &WalkClipped<true, Out>
                                 : &WalkClipped<false, Out>;
  StepperState state{line.x1, line.y1, -a};
  run(a + 1, [&](int32_t steps, Out& out) { walk(spoke, state, steps, depth, out); });
}

// Pixels that won their cells, in batches for a canvas call each.
template <typename Flush>
void WalkToPoints(const SpokeLine& line, DepthGrid& depth, Flush&& flush) {
  Batch batch;
  WalkSpoke<ToPoints>(line, depth, [&](int32_t steps, auto&& walk) {
    for (int32_t left = steps; left > 0; left -= kBatch) {
      ToPoints out{batch.data()};
      walk(std::min(left, kBatch), out);
      const auto count = static_cast<size_t>(out.out - batch.data());
      if (count > 0) flush(std::span<const PointI>(batch.data(), count));
    }
  });
}

}  // namespace

SpokeLine SpokeLineOf(const SceneState& s) {
  const double proj_x = static_cast<double>(s.ProjX);
  const double proj_y = static_cast<double>(s.ProjY);
  const int32_t row1 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY1));
  const int32_t row2 = FloorClamped(proj_y + static_cast<double>(s.SpokeDY2));
  SpokeLine line;
  line.x1 = FloorClamped(proj_x + static_cast<double>(s.SpokeDX1));
  line.y1 = row1 + s.FigureOffsetY;
  line.x2 = FloorClamped(proj_x + static_cast<double>(s.SpokeDX2));
  line.y2 = line.y1 + (row2 - row1);
  line.key = DepthKey(s);
  // Rows 1..height-1 are drawn, columns 0..width; a pixel without a cell is
  // skipped like a clipped row.
  const DepthGrid& depth = s.DepthBuffer;
  line.rows = static_cast<uint32_t>(
      std::max<int64_t>(std::min<int64_t>(s.ScreenHeight, depth.Rows()) - 1, 0));
  line.columns = static_cast<uint32_t>(
      std::max<int64_t>(std::min<int64_t>(int64_t{s.ScreenWidth} + 1, depth.Columns()), 0));
  line.color = PackRgb(s.LineRed, s.LineGreen, s.LineBlue);
  return line;
}

void PlotSegment(SceneState& s, Canvas& canvas) {
  const SpokeLine line = SpokeLineOf(s);
  if (SpokeTarget* target = canvas.SpokeCells(); target != nullptr) {
    ToCells out{target};
    out.colour = target->CellOf(line.color);
    WalkSpoke<ToCells>(line, s.DepthBuffer,
                       [&out](int32_t steps, auto&& walk) { walk(steps, out); });
    // As SetPixelV's result for the last pixel drawn.
    if (const std::optional<PointI> last = out.Last())
      s.ApiResult = target->Holds(last->x, last->y) ? 1 : 0;
    return;
  }
  WalkToPoints(line, s.DepthBuffer, [&](std::span<const PointI> points) {
    s.ApiResult = canvas.SetPixelsV(points, line.color, s.ApiResult);
  });
}

void PlotSegmentPalette(SceneState& s, Canvas& canvas) {
  const SpokeLine line = SpokeLineOf(s);
  WalkToPoints(line, s.DepthBuffer, [&canvas, &line](std::span<const PointI> points) {
    for (const PointI& p : points) {
      canvas.PSet(static_cast<float>(p.x), static_cast<float>(p.y), line.color);
    }
  });
}

}  // namespace zt
