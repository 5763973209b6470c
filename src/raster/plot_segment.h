#pragma once
#include <cstdint>
#include <mutex>
#include <span>

#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
// One spoke with the depth test: direct colour through SetPixelV.
void PlotSegment(SceneState& s, Canvas& canvas);
// The same spoke through the window's own pixel write (256-colour mode).
void PlotSegmentPalette(SceneState& s, Canvas& canvas);

// A spoke as the line stepper takes it: both ends (the figure offset added),
// its depth key, the colour, and the cells it may touch: rows 1..rows and
// columns 0..columns-1.
struct SpokeLine {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int16_t key = 0;
  uint32_t rows = 0, columns = 0;
  ColorRef color = 0;
};
SpokeLine SpokeLineOf(const SceneState& s);

// Takes the pixels that won their cells, in step order, a batch at a time.
class PixelSink {
 public:
  virtual void Take(std::span<const PointI> points) = 0;

 protected:
  ~PixelSink() = default;
};

// Where a thread drawing rows of its own takes its depth tiles.
struct BandTiles {
  DepthGrid::Stock stock;
  std::mutex* lock = nullptr;
};

// The stepper and depth test of PlotSegment over the pixels of rows
// [top, bottom) only. The pixels of a row depend only on the order of the
// spokes that reach it, so threads that each walk every spoke over rows of
// their own give the pixels and cells one walk over all rows gives. With
// `band`, depth tiles come from its stock; each thread must then keep to
// rows of whole tiles of its own.
void WalkSpokeRows(const SpokeLine& spoke, int32_t top, int32_t bottom, DepthGrid& depth,
                   BandTiles* band, PixelSink& sink);

// Where a canvas queues the spokes of PlotSegment to draw them later, in
// the same order, before anything else reaches its pixels. `result` is the
// SceneState's ApiResult: it gets the value drawing at once would give.
class SpokeQueue {
 public:
  virtual void Add(const SpokeLine& spoke, DepthGrid& depth, int32_t& result) = 0;

 protected:
  ~SpokeQueue() = default;
};
}  // namespace zt
