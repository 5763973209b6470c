#pragma once
// The window's two layers as CPU images, shared by every binding: a
// persistent backing image and the window image that is shown. On an 8-bit
// display both hold palette indexes, shown through the realised palette.
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "surface/platform.h"
#include "surface/text_rasterizer.h"

namespace zt {

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
  // Raw cells: 0x00RRGGBB in direct colour, a palette index otherwise.
  const std::vector<uint32_t>& WindowCells() const { return window_; }
  const std::vector<uint32_t>& BackingCells() const { return backing_; }
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

 protected:
  void MarkAllDirty();

 private:
  std::vector<uint32_t>& Target() { return persistent_ ? backing_ : window_; }
  // The cell value a colour is stored as: itself, or its nearest palette index.
  uint32_t CellFor(ColorRef color);
  void FillCells(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell);
  void MarkDirty(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void PutCell(int32_t x, int32_t y, uint32_t cell);

  static constexpr int kTile = 64;
  CanvasConfig config_;
  TextRasterizer* text_;
  std::vector<uint32_t> backing_;
  std::vector<uint32_t> window_;
  int32_t tiles_x_ = 0, tiles_y_ = 0;
  std::vector<uint8_t> dirty_tiles_;
  bool any_dirty_ = false;

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
};

// Index of the nearest entry (Euclidean in RGB, lowest index on ties).
uint8_t NearestPaletteIndex(const std::array<PaletteEntry, 256>& palette, Rgb color);

}  // namespace zt
