#include "backdrop/backdrops.h"

#include "base/numeric.h"
#include "captions/captions.h"

namespace zt {
namespace {

// 197 bands: black at both edges, one brightest band (level 98) in the middle.
constexpr int32_t kBandCount = 197;
constexpr int16_t kLastBand = 196;
constexpr int16_t kMiddleBand = 98;

enum class BandAxis { kRows, kColumns };

int16_t LevelOfBand(int16_t n) {
  return n <= kMiddleBand ? n : static_cast<int16_t>(kLastBand - n);
}

// Paints the gradient into the backing image, so every later clear of the
// window brings it back, then shows it and leaves persistent drawing off for
// the caption that follows.
void PaintBands(SceneState& s, Platform& p, BandAxis axis) {
  Canvas& canvas = p.canvas;
  const bool rows = axis == BandAxis::kRows;
  const int32_t extent = rows ? s.ScreenHeight : s.ScreenWidth;

  canvas.SetPersistentDrawing(true);
  if (s.PaletteMode == 0) {
    // Bounds from the exact fraction, so the bands tile the window with no gap
    // or overlap whatever its size.
    for (s.LoopIndex = 0; s.LoopIndex <= kLastBand; ++s.LoopIndex) {
      s.BandLevel = LevelOfBand(s.LoopIndex);
      s.BandBrush = canvas.CreateSolidBrush(PackRgb(0, 0, s.BandLevel));
      const int32_t n = s.LoopIndex;
      const int32_t from = n * extent / kBandCount;
      const int32_t to = (n + 1) * extent / kBandCount;
      s.BandRect = rows ? RectI{0, from, s.ScreenWidth, to} : RectI{from, 0, to, s.ScreenHeight};
      s.ApiResult = canvas.FillRect(s.BandRect, s.BandBrush);
      s.ApiResult = canvas.DeleteObject(s.BandBrush);
    }
  } else {
    p.events.Pump();
    s.BandSize = Round32(static_cast<double>(extent) / kBandCount);
    // With persistent drawing on this wipes the old backdrop, also where the
    // rounded bands fall short of the far edge.
    canvas.Clear();
    canvas.SetOutlineStyle(5);
    for (s.LoopIndex = 0; s.LoopIndex <= kLastBand; ++s.LoopIndex) {
      s.BandLevel = LevelOfBand(s.LoopIndex);
      const int32_t from = s.LoopIndex * s.BandSize;
      const int32_t to = from + s.BandSize;
      const ColorRef color = PackRgb(0, 0, s.BandLevel);
      if (rows) {
        canvas.FillBox(0.0f, static_cast<float>(from), static_cast<float>(s.ScreenWidth),
                       static_cast<float>(to), color);
      } else {
        canvas.FillBox(static_cast<float>(from), 0.0f, static_cast<float>(to),
                       static_cast<float>(s.ScreenHeight), color);
      }
    }
    p.events.Pump();
    canvas.SetOutlineStyle(0);
  }
  canvas.Refresh();
  canvas.SetPersistentDrawing(false);
}

}  // namespace

void PaintRowBackdrop(SceneState& s, Platform& p) {
  PaintBands(s, p, BandAxis::kRows);
  // Only the very first backdrop of a run carries the title card.
  if (s.CycleCount == 0) {
    ShowTitleCard(s, p);
  } else {
    PrintStatusLine(s, p);
  }
  s.CycleCount = 1;
}

void PaintColumnBackdrop(SceneState& s, Platform& p) {
  PaintBands(s, p, BandAxis::kColumns);
  PrintStatusLine(s, p);
}

}  // namespace zt
