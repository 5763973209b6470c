#pragma once
// The window's two layers as CPU images, shared by every binding: a
// persistent backing image and the window image that is shown. On an 8-bit
// display both hold palette indexes, shown through the realised palette.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "surface/platform.h"
#include "surface/text_rasterizer.h"

namespace zt {

// An image stored as rows that may be shared: a backdrop is made of bands,
// so most of its rows equal others, and a row of one colour is held as that
// colour alone; a screen's worth takes kilobytes instead of megabytes. A
// shared row is copied before it is changed.
class SharedRows {
 public:
  void Reset(int32_t width, int32_t height, uint32_t cell);
  int32_t Width() const { return width_; }
  int32_t Height() const { return static_cast<int32_t>(ids_.size()); }
  // Copies columns [left, right) of row y to `out`.
  void CopyRow(int32_t y, int32_t left, int32_t right, uint32_t* out) const;
  // Copies the kSpan columns from `left` of rows [top, bottom) to `out`, one
  // row after another; the columns must be inside.
  template <size_t kSpan>
  void CopySpans(int32_t left, int32_t top, int32_t bottom, uint32_t* out) const {
    // Rows next to each other mostly share their content (a band, a column
    // backdrop), so a span is looked up once for each run of them.
    std::array<uint32_t, kSpan> span;
    uint32_t spanned = UINT32_MAX;
    for (int32_t y = top; y < bottom; ++y, out += kSpan) {
      const uint32_t id = ids_[static_cast<size_t>(y)];
      if (id != spanned) {
        spanned = id;
        const std::vector<uint32_t>& row = rows_[id];
        if (row.empty()) {
          span.fill(colour_[id]);
        } else {
          std::memcpy(span.data(), row.data() + left, sizeof span);  // inlined, unlike copy_n
        }
      }
      std::memcpy(out, span.data(), sizeof span);
    }
  }
  uint32_t At(int32_t x, int32_t y) const;
  // Row y, no longer shared with any other.
  uint32_t* MutableRow(int32_t y);
  // Fills columns [left, right) of rows [top, bottom); rows that shared
  // their content before still share it afterwards. Bounds must be inside.
  void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell);
  // Rows that came to hold the same cells share them again (a backdrop of
  // column bands painted over one of row bands leaves every row its own copy
  // of one content).
  void Share();
  // Distinct row contents held, and those of them stored cell by cell.
  int32_t StoredRows() const { return static_cast<int32_t>(rows_.size() - free_.size()); }
  int32_t ExpandedRows() const;
  // Row y holds the same cells as row y of `other`, an image as wide.
  bool SameRow(const SharedRows& other, int32_t y) const;
  // The whole image, row after row.
  void CopyTo(std::vector<uint32_t>& out) const;

 private:
  uint32_t NewRow();
  void Release(uint32_t id);
  // Gives a one-colour entry its cells.
  void Expand(uint32_t id);

  int32_t width_ = 0;
  std::vector<uint32_t> ids_;                // per image row: its entry in rows_
  std::vector<std::vector<uint32_t>> rows_;  // empty while one colour
  std::vector<uint32_t> colour_;             // that colour
  std::vector<uint32_t> refs_;               // image rows using each entry
  std::vector<uint32_t> free_;               // entries with no user, storage released
  std::vector<uint32_t> remap_;              // scratch of Fill: old entry -> new entry
  std::vector<uint32_t> users_;              // scratch of Fill: filled rows per entry
  std::vector<uint32_t> touched_;            // scratch of Fill: the entries counted
};

struct CanvasConfig {
  int32_t width = 800;
  int32_t height = 600;
  double twips_per_pixel = 15;
  int32_t bits_per_pixel = 32;  // 8 selects palette indexes
};

class LayeredCanvas : public Canvas {
 public:
  LayeredCanvas(const CanvasConfig& config, TextRasterizer* text);

  // Window and cursor: the base only records them; bindings add the effect.
  void SetWindowStateMaximised() override { maximised_ = true; }
  void SetBackColor(Rgb color) override { back_color_ = color; }
  int32_t ShowCursor(bool show) override;
  int32_t SetWindowPosTopmost() override;
  int32_t SetCursorPos(int32_t x, int32_t y) override;
  void ShowWindow() override { shown_ = true; }
  int32_t BitsPerPixel() override { return config_.bits_per_pixel; }
  double ScreenWidthTwips() override { return config_.width * config_.twips_per_pixel; }
  double ScreenHeightTwips() override { return config_.height * config_.twips_per_pixel; }
  double TwipsPerPixelX() override { return config_.twips_per_pixel; }
  double TwipsPerPixelY() override { return config_.twips_per_pixel; }

  void SetPersistentDrawing(bool on) override { persistent_ = on; }
  void Clear() override;
  void Refresh() override;

  BrushHandle CreateSolidBrush(ColorRef color) override;
  int32_t FillRect(const RectI& rect, BrushHandle brush) override;
  int32_t DeleteObject(BrushHandle brush) override;
  void SetOutlineStyle(int16_t style) override { outline_style_ = style; }
  void FillBox(float x1, float y1, float x2, float y2, ColorRef color) override;
  int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) override;
  int32_t SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) override;
  void PSet(float x, float y, ColorRef color) override;

  void SetFontName(std::string_view name) override { font_.name = std::string(name); }
  void SetFontSize(float points) override { font_points_ = points; }
  void SetFontBold(bool bold) override { font_.bold = bold; }
  void SetFontItalic(bool italic) override { font_.italic = italic; }
  void SetForeColor(ColorRef color) override { fore_color_ = color; }
  void SetCurrentX(float x) override { current_x_ = x; }
  void SetCurrentY(float y) override { current_y_ = y; }
  void Print(std::string_view text) override;

  int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) override;
  int32_t RealizePalette() override;

  // For bindings, the render mode and tests.
  int32_t Width() const { return config_.width; }
  int32_t Height() const { return config_.height; }
  bool PaletteMode() const { return config_.bits_per_pixel == 8; }
  // Fills `out` with the raw cells of the window layer's row y, columns
  // [x0, x1): 0x00RRGGBB in direct colour, a palette index otherwise.
  void WindowCellRow(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const;
  // Blocks of the window layer held apart from the backing image.
  size_t WindowBlocksHeld() const { return live_.size(); }
  // A copy of the backing image, kept until the backing next changes.
  const std::vector<uint32_t>& BackingCells() const;
  int32_t BackingStoredRows() const { return backing_.StoredRows(); }
  // The colour shown at (x, y), 0x00RRGGBB.
  uint32_t ShownColor(int32_t x, int32_t y) const;
  // Fills `out` with the shown colours of row y, columns [x0, x1).
  void ShownRow(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const;
  const std::array<PaletteEntry, 256>& RealizedPalette() const { return realized_; }
  // Rectangles of the window image changed since the last call.
  std::vector<RectI> TakeDirtyRects();
  bool CursorVisible() const { return cursor_count_ >= 0; }
  int32_t CursorX() const { return cursor_x_; }
  int32_t CursorY() const { return cursor_y_; }
  bool Topmost() const { return topmost_; }
  bool Maximised() const { return maximised_; }
  bool Shown() const { return shown_; }
  bool Persistent() const { return persistent_; }
  int LiveBrushes() const { return static_cast<int>(brushes_.size()); }

  // A line of text over the bottom-left corner of what is shown, in neither
  // layer: the frame-rate display. It only changes what ShownRow gives;
  // empty text takes it away.
  void SetOverlayText(std::string_view text);
  bool HasOverlay() const { return overlay_.right > overlay_.left; }

  // The drawable has a new size: both layers start over, black, at that size.
  virtual void Resize(int32_t width, int32_t height);

  // Text of coverage `alpha` in colour `fore` over the 0x00RRGGBB `under`.
  static uint32_t InkOver(uint32_t under, uint32_t alpha, Rgb fore);
  // No coverage in the n bytes from `alpha`.
  static bool NoCoverage(const uint8_t* alpha, int32_t n) {
    if (n == kWindowBlock) {
      uint64_t half[2];
      std::memcpy(half, alpha, sizeof half);
      return (half[0] | half[1]) == 0;
    }
    return std::all_of(alpha, alpha + n, [](uint8_t v) { return v == 0; });
  }

 protected:
  void MarkAllDirty();
  // What drawing on the window layer does once clipped to the canvas (a
  // binding keeping that layer elsewhere takes these over): a filled
  // rectangle of one cell, and a line of text put at (x0, y0).
  virtual void FillWindow(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell);
  virtual void InkWindow(const CoverageMask& mask, int32_t x0, int32_t y0, ColorRef fore);
  // The part of a mask put at (x0, y0) that lies on the canvas.
  RectI InkBox(const CoverageMask& mask, int32_t x0, int32_t y0) const;
  // Blends the inked cells of a mask put at (x0, y0) into the cells `at`
  // gives, as the shown colours are or as palette indexes. `at(x, y)` is the
  // cell at (x, y); the cells of its row up to the next multiple of
  // kWindowBlock follow it, so one lookup serves such a span.
  template <typename At>
  void InkCells(const CoverageMask& mask, int32_t x0, int32_t y0, ColorRef fore, At at) {
    const Rgb rgb = UnpackRgb(fore);
    const uint32_t fore_cell = CellFor(fore);
    const bool palette = PaletteMode();
    const RectI box = InkBox(mask, x0, y0);
    for (int32_t y = box.top; y < box.bottom; ++y) {
      const uint8_t* alpha = mask.alpha.data() + static_cast<size_t>(y - y0) * mask.width;
      for (int32_t x = box.left; x < box.right;) {
        const int32_t end = std::min(box.right, (x / kWindowBlock + 1) * kWindowBlock);
        const uint8_t* a = alpha + (x - x0);
        const int32_t n = end - x;
        x = end;
        if (NoCoverage(a, n)) continue;  // most of a line's box is empty
        uint32_t* cells = &at(end - n, y);
        for (int32_t i = 0; i < n; ++i) {
          const uint32_t v = a[i];
          if (v == 0) continue;
          if (palette) {
            if (v >= 128) cells[i] = fore_cell;
          } else {
            cells[i] = v == 255 ? fore_cell : InkOver(cells[i], v, rgb);
          }
        }
      }
    }
  }
  const RectI& OverlayBox() const { return overlay_; }
  // Darkens the box and lays the overlay text over columns [x0, x1) of row
  // y of the shown colours in `out`.
  void CompositeOverlay(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const;
  // For drawing straight into the window layer (direct colour, persistent
  // drawing off): the block of cells holding (x, y), taken and its tile
  // marked changed; kWindowBlock cells square, row after row. Cells of it
  // outside the window may be written; nullptr where there is no block.
  static constexpr int32_t kWindowBlock = 16;
  uint32_t* WindowBlockFor(int32_t x, int32_t y) {
    const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    if (ux / kBlock >= static_cast<uint32_t>(blocks_x_) ||
        uy / kBlock >= static_cast<uint32_t>(blocks_y_)) {
      return nullptr;
    }
    dirty_tiles_[(uy / kTile) * static_cast<uint32_t>(tiles_x_) + ux / kTile] = 1;
    any_dirty_ = true;
    return Block(BlockOf(ux, uy));
  }

 private:
  // The cell value a colour is stored as: itself, or its nearest palette index.
  uint32_t CellFor(ColorRef color) {
    if (PaletteMode()) return PaletteCellFor(color);
    return XrgbFromColorRef(color);
  }
  uint32_t PaletteCellFor(ColorRef color);
  void FillCells(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell);
  void MarkDirty(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The backing image changed in the rectangle: shown at the next sync.
  void MarkChanged(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // (x, y) must lie on the canvas.
  void PutCell(int32_t x, int32_t y, uint32_t cell) {
    const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    if (persistent_) {
      backing_.MutableRow(y)[ux] = cell;
      BackingChanged();
      changed_[BlockOf(ux, uy)] = 1;
    } else {
      Block(BlockOf(ux, uy))[CellOf(ux, uy)] = cell;
      dirty_tiles_[(uy / kTile) * static_cast<uint32_t>(tiles_x_) + ux / kTile] = 1;
      any_dirty_ = true;
    }
  }
  [[gnu::noinline]] void PutCellSlow(int32_t x, int32_t y, ColorRef color);
  size_t BlockOf(uint32_t x, uint32_t y) const {
    return static_cast<size_t>(y / kBlock) * static_cast<size_t>(blocks_x_) + x / kBlock;
  }
  static size_t CellOf(uint32_t x, uint32_t y) { return (y % kBlock) * kBlock + x % kBlock; }
  // The cells of block b of the window layer, taken on first use and filled
  // with what it showed until then.
  uint32_t* Block(size_t b) {
    uint32_t* cells = blocks_[b];
    return cells != nullptr ? cells : TakeBlock(b);
  }
  uint32_t* TakeBlock(size_t b);
  void BackingChanged() {
    backing_view_valid_ = false;
    backing_changed_ = true;
  }
  // Makes the window equal to the backing image: the blocks held apart are
  // given back and the backing image becomes what shows through.
  void SyncWindow();
  void SizeLayers();

  static constexpr int kTile = 64;
  CanvasConfig config_;
  TextRasterizer* text_;
  SharedRows backing_;
  mutable std::vector<uint32_t> backing_view_;
  mutable bool backing_view_valid_ = false;
  int32_t tiles_x_ = 0, tiles_y_ = 0;
  std::vector<uint8_t> dirty_tiles_;
  bool any_dirty_ = false;

  // The window layer is the backing image as it was at the last sync
  // (`shown_rows_`, shared rows like the backing, so a copy costs little) with
  // the blocks drawn on since held apart. A figure covers a fraction of the
  // screen: the window costs what is drawn, and a clear gives those blocks
  // back instead of copying an image. The blocks are smaller than the
  // presentation tiles because a thin curve touches many tiles without
  // filling them.
  static constexpr uint32_t kBlock = kWindowBlock;
  static constexpr size_t kBlockCells = size_t{kBlock} * kBlock;
  static constexpr size_t kBlocksPerChunk = 64;
  SharedRows shown_rows_;
  int32_t blocks_x_ = 0, blocks_y_ = 0;
  std::vector<uint32_t*> blocks_;  // per block: its cells, or nullptr while it shows `shown_rows_`
  std::vector<size_t> live_;       // the blocks with cells
  std::vector<uint32_t*> spare_;   // cells of blocks given back, kept for later figures
  std::vector<std::unique_ptr<uint32_t[]>> chunks_;
  // The backing image differs from `shown_rows_` (in the blocks marked), so the
  // next sync takes it over and shows those blocks again.
  bool backing_changed_ = false;
  std::vector<uint8_t> changed_;

  bool persistent_ = false;
  bool maximised_ = false, shown_ = false, topmost_ = false;
  Rgb back_color_{};
  int32_t cursor_count_ = 0;
  int32_t cursor_x_ = -1, cursor_y_ = -1;
  int16_t outline_style_ = 0;

  std::unordered_map<BrushHandle, ColorRef> brushes_;
  BrushHandle next_brush_ = 1;

  FontRequest font_;
  float font_points_ = 12;
  ColorRef fore_color_ = 0;
  float current_x_ = 0, current_y_ = 0;
  CoverageMask mask_;

  std::array<PaletteEntry, 256> logical_{};
  std::array<PaletteEntry, 256> realized_{};
  std::unordered_map<ColorRef, uint8_t> nearest_cache_;
  // The last colour matched, as one spoke draws many pixels in one colour.
  ColorRef last_color_ = 0;
  uint32_t last_cell_ = 0;
  bool last_valid_ = false;

  std::string overlay_text_;
  CoverageMask overlay_mask_;
  RectI overlay_{};  // the box behind the text, on the canvas
};

// Rectangles covering the flagged cells of a grid `columns` wide, each cell
// `cell` pixels square, clipped to width x height; the flags are cleared.
std::vector<RectI> TakeFlaggedRects(std::vector<uint8_t>& flags, int32_t columns, int32_t cell,
                                    int32_t width, int32_t height);

// Index of the nearest entry (Euclidean in RGB, lowest index on ties).
uint8_t NearestPaletteIndex(const std::array<PaletteEntry, 256>& palette, Rgb color);

}  // namespace zt
