#pragma once
// Every variable the procedures share, at its declared width. Zeroed at
// process start by value-initialisation.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/prefetch.h"
#include "base/types.h"

namespace zt {

// One 16-bit cell per pixel, columns 0..width and rows 0..height inclusive.
// 0 means empty. Held as square tiles taken and cleared on first use: a
// figure touches a small part of the screen, so emptying the grid before the
// next one costs only the tiles it used, and only those stay in memory. A
// tile never touched reads as all 0, as a full grid emptied would.
class DepthGrid {
 public:
  // A cell as stored: 0 stays 0 and ranks lowest, as an empty cell must,
  // and every other value keeps its order above it, so that the depth test
  // is one unsigned compare.
  using Stored = uint16_t;
  static constexpr Stored Encode(int16_t v) {
    return static_cast<Stored>(v == 0 ? 0 : v < 0 ? v + 32769 : v + 32768);
  }
  static constexpr int16_t Decode(Stored v) {
    return static_cast<int16_t>(v == 0 ? 0 : v <= 32768 ? int32_t{v} - 32769 : int32_t{v} - 32768);
  }

  DepthGrid() = default;
  DepthGrid(const DepthGrid& other) { *this = other; }
  DepthGrid& operator=(const DepthGrid& other) {
    if (this == &other) return *this;
    Reset(other.columns_ - 1, other.rows_ - 1);
    for (size_t t : other.used_) std::copy_n(other.tiles_[t], kTileCells, Take(t));
    return *this;
  }
  DepthGrid(DepthGrid&&) noexcept = default;
  DepthGrid& operator=(DepthGrid&&) noexcept = default;

  // Sizes to (width + 1) x (height + 1) cells, all 0.
  void Reset(int32_t width, int32_t height) {
    const int32_t columns = std::max(width + 1, 0), rows = std::max(height + 1, 0);
    if (columns != columns_ || rows != rows_) {
      columns_ = columns;
      rows_ = rows;
      tile_columns_ = (static_cast<size_t>(columns) + kTile - 1) / kTile;
      const size_t tile_rows = (static_cast<size_t>(rows) + kTile - 1) / kTile;
      tiles_.assign(tile_columns_ * tile_rows, nullptr);
      chunks_.clear();
    } else {
      for (size_t t : used_) tiles_[t] = nullptr;
    }
    used_.clear();
  }
  bool Contains(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < columns_ && y < rows_;
  }
  void Set(int32_t x, int32_t y, int16_t v) { TileCells(TileOf(x, y))[CellOf(x, y)] = Encode(v); }
  int16_t At(int32_t x, int32_t y) const {
    const Stored* tile = tiles_[TileOf(x, y)];
    return tile == nullptr ? int16_t{0} : Decode(tile[CellOf(x, y)]);
  }
  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  // Every cell, row after row.
  std::vector<int16_t> Cells() const {
    std::vector<int16_t> cells(static_cast<size_t>(columns_) * static_cast<size_t>(rows_));
    auto out = cells.begin();
    for (int32_t y = 0; y < rows_; ++y) {
      for (int32_t x = 0; x < columns_; ++x) *out++ = At(x, y);
    }
    return cells;
  }
  // Tiles in use this figure.
  size_t TilesUsed() const { return used_.size(); }

  // For walks over many cells, which look a tile up only when they enter
  // it: the tile of (x, y), its cells taken on first use, and the place of
  // (x, y) in it. (x, y) must be inside.
  size_t TileOf(int32_t x, int32_t y) const {
    return (static_cast<size_t>(y) >> kShift) * tile_columns_ + (static_cast<size_t>(x) >> kShift);
  }
  Stored* TileCells(size_t t) {
    Stored* tile = tiles_[t];
    return tile != nullptr ? tile : Take(t);
  }
  // Tiles are kTileSize cells square.
  static constexpr int32_t kTileSize = 16;
  // The tile of index t when taken, else nullptr.
  Stored* TakenTile(size_t t) const { return tiles_[t]; }
  static size_t CellOf(int32_t x, int32_t y) {
    return ((static_cast<size_t>(y) & (kTile - 1)) << kShift) |
           (static_cast<size_t>(x) & (kTile - 1));
  }

 private:
  static constexpr int32_t kShift = 4;
  static constexpr size_t kTile = size_t{1} << kShift;
  static_assert(kTile == kTileSize);
  static constexpr size_t kTileCells = kTile * kTile;
  // Tiles are carved from chunks of 32 KB that are kept for later figures.
  static constexpr size_t kTilesPerChunk = 64;
  Stored* Take(size_t t) {
    const size_t n = used_.size();
    if (n / kTilesPerChunk == chunks_.size()) {
      chunks_.push_back(std::make_unique_for_overwrite<Stored[]>(kTilesPerChunk * kTileCells));
    }
    Stored* tile = chunks_[n / kTilesPerChunk].get() + (n % kTilesPerChunk) * kTileCells;
    // Cleared a row at a time: whole, the clear is compiled as `rep stos`,
    // which takes longer to start than plain stores take to finish.
    for (size_t row = 0; row < kTileCells; row += kTile) {
      Stored* cells = tile + row;
#if defined(__GNUC__)
      asm("" : "+r"(cells));
#endif
      std::memset(cells, 0, kTile * sizeof(Stored));
    }
    // The next tile handed out is likely wanted within a few hundred steps.
    if (const size_t next = n + 1; next / kTilesPerChunk < chunks_.size()) {
      PrefetchRange(chunks_[next / kTilesPerChunk].get() + (next % kTilesPerChunk) * kTileCells,
                    kTileCells * sizeof(Stored));
    }
    tiles_[t] = tile;
    used_.push_back(t);
    return tile;
  }

  int32_t columns_ = 0;
  int32_t rows_ = 0;
  size_t tile_columns_ = 0;
  std::vector<Stored*> tiles_;
  std::vector<size_t> used_;
  std::vector<std::unique_ptr<Stored[]>> chunks_;
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
