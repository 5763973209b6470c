#pragma once
// Every variable the procedures share, at its declared width. Zeroed at
// process start by value-initialisation.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/image_buffer.h"
#include "base/types.h"

namespace zt {

// One 16-bit cell per pixel, columns 0..width and rows 0..height inclusive,
// stored row after row. 0 means empty.
class DepthGrid {
 public:
  // Sizes to (width + 1) x (height + 1) cells, all 0; keeps the storage.
  void Reset(int32_t width, int32_t height) {
    columns_ = width + 1;
    rows_ = height + 1;
    const size_t count = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);
    if (cells_.size() != count) {
      cells_ = ImageBuffer<int16_t>(count);
      return;
    }
    // In slices: one large fill is done with stores that bypass the cache,
    // and the figure that follows then misses on every cell it tests.
    constexpr size_t kSlice = 16384;
    for (size_t at = 0; at < count; at += kSlice) {
      std::fill_n(cells_.begin() + at, std::min(kSlice, count - at), int16_t{0});
    }
  }
  bool Contains(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < columns_ && y < rows_;
  }
  int16_t& At(int32_t x, int32_t y) {
    return cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)];
  }
  int16_t At(int32_t x, int32_t y) const {
    return cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)];
  }
  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  std::span<const int16_t> Cells() const { return cells_; }

 private:
  int32_t columns_ = 0;
  int32_t rows_ = 0;
  ImageBuffer<int16_t> cells_;
};

struct SceneState {
  // Window and band painting.
  RectI BandRect{};
  std::array<PaletteEntry, 256> PaletteEntries{};

  // Figure geometry.
  float SegmentRadius = 0;
  float CurveX = 0, CurveY = 0, CurveZ = 0;
  float SpinAngle = 0, SpinAngleOpposite = 0;
  float SweepAngle = 0;
  float TurnedX = 0, TurnedY = 0, TurnedZ = 0;
  float TiltedX = 0, TiltedY = 0, TiltedZ = 0;
  float RotatedX = 0, RotatedY = 0, RotatedZ = 0;
  float ProjX = 0, ProjY = 0, ProjZ = 0;
  float ProjectScaleX = 0, ProjectScaleY = 0;
  float Depth = 0;
  float Tilt = 0, Turn = 0, Roll = 0;
  float SpokeDX1 = 0, SpokeDY1 = 0, SpokeDX2 = 0, SpokeDY2 = 0;

  // Timing, layout and screen.
  float TitleStart = 0;
  float StepDegrees = 0;
  float LayoutScale = 0;
  DepthGrid DepthBuffer;
  int32_t TwipsPerPixel = 0;
  int32_t ScreenWidth = 0, ScreenHeight = 0;
  int32_t CenterX = 0, CenterY = 0;
  int32_t BandSize = 0;

  // Per-figure choices.
  int16_t BackdropKind = 0;
  int16_t SpinRate = 0;
  int16_t ZFrequency = 0;
  int16_t TiltDegrees = 0;
  int16_t TurnDegrees = 0;
  int16_t SweepStart = 0;
  int16_t LineRed = 0, LineGreen = 0, LineBlue = 0;
  int16_t CaptionRed = 0, CaptionGreen = 0, CaptionBlue = 0;
  int16_t ColorScheme = 0;
  int16_t CycleCount = 0;
  int16_t LoopIndex = 0;
  int16_t RampCount = 0;
  int16_t BandLevel = 0;
  int16_t PaletteMode = 0;
  int16_t StepDelay = 0;
  int16_t FigureMaxY = 0, FigureMinY = 0;
  int16_t FigureOffsetY = 0;
  int16_t StartDay = 0;
  int16_t SteepTilt = 0;

  // Music.
  int16_t MusicMode = 0;
  int16_t MidiState = 0;
  int32_t MidiLengthMs = 0;
  int32_t MciResult = 0;
  std::array<char, 50> MciReply{};
  std::string MciRewindCommand;
  std::string MciPlayCommand;

  // Miscellaneous.
  BrushHandle BandBrush = 0;
  int32_t ElapsedMinutes = 0;
  int32_t StartSeconds = 0;
  int32_t ApiResult = 0;
  int16_t RedDir = 0, GreenDir = 0, BlueDir = 0;
  int16_t LastColorStep = 0;

  // Not shared by the original procedures: the real start instant, so the
  // minutes shown count every midnight (seconds since the Unix epoch, local).
  int64_t StartEpochSeconds = 0;
};

}  // namespace zt
