#include "surface/layered_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "app/numeric.h"

namespace zt {

uint8_t NearestPaletteIndex(const std::array<PaletteEntry, 256>& palette, Rgb color) {
  int best = 0;
  int32_t best_distance = INT32_MAX;
  for (int i = 0; i < 256; ++i) {
    const int32_t dr = palette[i].red - color.red;
    const int32_t dg = palette[i].green - color.green;
    const int32_t db = palette[i].blue - color.blue;
    const int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {  // strict: the lowest index wins ties
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

LayeredCanvas::LayeredCanvas(const CanvasConfig& config, TextRasterizer* text)
    : config_(config), text_(text) {
  const size_t cells = static_cast<size_t>(config_.width) * static_cast<size_t>(config_.height);
  backing_.assign(cells, 0);
  window_.assign(cells, 0);
  tiles_x_ = (config_.width + kTile - 1) / kTile;
  tiles_y_ = (config_.height + kTile - 1) / kTile;
  dirty_tiles_.assign(static_cast<size_t>(tiles_x_) * static_cast<size_t>(tiles_y_), 0);
  MarkAllDirty();
}

int32_t LayeredCanvas::ShowCursor(bool show) {
  cursor_count_ += show ? 1 : -1;
  return cursor_count_;
}

int32_t LayeredCanvas::SetWindowPosTopmost() {
  topmost_ = true;
  return 1;
}

int32_t LayeredCanvas::SetCursorPos(int32_t x, int32_t y) {
  cursor_x_ = x;
  cursor_y_ = y;
  return 1;
}

void LayeredCanvas::MarkAllDirty() {
  std::fill(dirty_tiles_.begin(), dirty_tiles_.end(), 1);
  any_dirty_ = true;
}

void LayeredCanvas::MarkDirty(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return;
  for (int32_t ty = top / kTile; ty <= (bottom - 1) / kTile; ++ty) {
    for (int32_t tx = left / kTile; tx <= (right - 1) / kTile; ++tx) {
      dirty_tiles_[static_cast<size_t>(ty) * tiles_x_ + tx] = 1;
    }
  }
  any_dirty_ = true;
}

std::vector<RectI> LayeredCanvas::TakeDirtyRects() {
  std::vector<RectI> rects;
  if (!any_dirty_) return rects;
  // Runs of dirty tiles per tile row, merged with the run above when equal.
  for (int32_t ty = 0; ty < tiles_y_; ++ty) {
    int32_t tx = 0;
    while (tx < tiles_x_) {
      if (!dirty_tiles_[static_cast<size_t>(ty) * tiles_x_ + tx]) {
        ++tx;
        continue;
      }
      int32_t end = tx;
      while (end < tiles_x_ && dirty_tiles_[static_cast<size_t>(ty) * tiles_x_ + end]) {
        dirty_tiles_[static_cast<size_t>(ty) * tiles_x_ + end] = 0;
        ++end;
      }
      RectI r{tx * kTile, ty * kTile, std::min(end * kTile, config_.width),
              std::min((ty + 1) * kTile, config_.height)};
      bool merged = false;
      for (RectI& prev : rects) {
        if (prev.left == r.left && prev.right == r.right && prev.bottom == r.top) {
          prev.bottom = r.bottom;
          merged = true;
          break;
        }
      }
      if (!merged) rects.push_back(r);
      tx = end;
    }
  }
  any_dirty_ = false;
  return rects;
}

uint32_t LayeredCanvas::CellFor(ColorRef color) {
  if (!PaletteMode()) {
    const Rgb c = UnpackRgb(color);
    return (static_cast<uint32_t>(c.red) << 16) | (static_cast<uint32_t>(c.green) << 8) | c.blue;
  }
  auto it = nearest_cache_.find(color);
  if (it != nearest_cache_.end()) return it->second;
  const uint8_t index = NearestPaletteIndex(realized_, UnpackRgb(color));
  if (nearest_cache_.size() > 4096) nearest_cache_.clear();
  nearest_cache_.emplace(color, index);
  return index;
}

void LayeredCanvas::PutCell(int32_t x, int32_t y, uint32_t cell) {
  if (x < 0 || y < 0 || x >= config_.width || y >= config_.height) return;
  const size_t at = static_cast<size_t>(y) * static_cast<size_t>(config_.width) + x;
  if (persistent_) {
    backing_[at] = cell;
  } else {
    window_[at] = cell;
    dirty_tiles_[static_cast<size_t>(y / kTile) * tiles_x_ + x / kTile] = 1;
    any_dirty_ = true;
  }
}

void LayeredCanvas::FillCells(int32_t left, int32_t top, int32_t right, int32_t bottom,
                              uint32_t cell) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, config_.width);
  bottom = std::min(bottom, config_.height);
  if (left >= right || top >= bottom) return;
  std::vector<uint32_t>& target = Target();
  for (int32_t y = top; y < bottom; ++y) {
    auto row = target.begin() + static_cast<std::ptrdiff_t>(y) * config_.width;
    std::fill(row + left, row + right, cell);
  }
  if (!persistent_) MarkDirty(left, top, right, bottom);
}

void LayeredCanvas::Clear() {
  if (persistent_) {
    std::fill(backing_.begin(), backing_.end(),
              CellFor(PackRgb(back_color_.red, back_color_.green, back_color_.blue)));
  } else {
    window_ = backing_;
    MarkAllDirty();
  }
}

void LayeredCanvas::Refresh() {
  window_ = backing_;
  MarkAllDirty();
}

BrushHandle LayeredCanvas::CreateSolidBrush(ColorRef color) {
  const BrushHandle handle = next_brush_++;
  if (next_brush_ == 0) next_brush_ = 1;
  brushes_[handle] = color;
  return handle;
}

int32_t LayeredCanvas::FillRect(const RectI& rect, BrushHandle brush) {
  auto it = brushes_.find(brush);
  if (it == brushes_.end()) return 0;
  FillCells(rect.left, rect.top, rect.right, rect.bottom, CellFor(it->second));
  return 1;
}

int32_t LayeredCanvas::DeleteObject(BrushHandle brush) {
  return brushes_.erase(brush) ? 1 : 0;
}

void LayeredCanvas::FillBox(float x1, float y1, float x2, float y2, ColorRef color) {
  auto left = RoundEven(std::min(x1, x2)), right = RoundEven(std::max(x1, x2));
  auto top = RoundEven(std::min(y1, y2)), bottom = RoundEven(std::max(y1, y2));
  // Without an outline the far edges stay uncovered; with one they are drawn.
  if (outline_style_ != 5) {
    ++right;
    ++bottom;
  }
  auto clamp = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  FillCells(clamp(left), clamp(top), clamp(right), clamp(bottom), CellFor(color));
}

int32_t LayeredCanvas::SetPixelV(int32_t x, int32_t y, ColorRef color) {
  if (x < 0 || y < 0 || x >= config_.width || y >= config_.height) return 0;
  PutCell(x, y, CellFor(color));
  return 1;
}

void LayeredCanvas::PSet(float x, float y, ColorRef color) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  const double fx = std::floor(x), fy = std::floor(y);
  if (fx < 0 || fy < 0 || fx >= config_.width || fy >= config_.height) return;
  PutCell(static_cast<int32_t>(fx), static_cast<int32_t>(fy), CellFor(color));
}

void LayeredCanvas::Print(std::string_view text) {
  const double pixels = font_points_ * 20.0 / config_.twips_per_pixel;
  font_.pixel_size = static_cast<int32_t>(std::clamp(RoundEven(pixels), int64_t{1}, int64_t{2000}));
  if (text_ == nullptr || text.empty() || !text_->Render(font_, text, mask_)) return;
  const int32_t x0 = static_cast<int32_t>(std::floor(current_x_));
  const int32_t y0 = static_cast<int32_t>(std::floor(current_y_));
  const Rgb fore = UnpackRgb(fore_color_);
  const uint32_t fore_cell = CellFor(fore_color_);
  std::vector<uint32_t>& target = Target();
  for (int32_t my = 0; my < mask_.height; ++my) {
    const int32_t y = y0 + my;
    if (y < 0 || y >= config_.height) continue;
    for (int32_t mx = 0; mx < mask_.width; ++mx) {
      const int32_t x = x0 + mx;
      if (x < 0 || x >= config_.width) continue;
      const uint32_t a = mask_.alpha[static_cast<size_t>(my) * mask_.width + mx];
      if (a == 0) continue;
      const size_t at = static_cast<size_t>(y) * config_.width + x;
      if (PaletteMode()) {
        if (a >= 128) target[at] = fore_cell;
        continue;
      }
      const uint32_t under = target[at];
      auto mix = [a](uint32_t from, uint32_t to) { return (from * (255 - a) + to * a + 127) / 255; };
      const uint32_t r = mix((under >> 16) & 0xFF, fore.red);
      const uint32_t g = mix((under >> 8) & 0xFF, fore.green);
      const uint32_t b = mix(under & 0xFF, fore.blue);
      target[at] = (r << 16) | (g << 8) | b;
    }
  }
  if (!persistent_) {
    MarkDirty(std::max(x0, 0), std::max(y0, 0), std::min(x0 + mask_.width, config_.width),
              std::min(y0 + mask_.height, config_.height));
  }
  // Like a line printed on a form: the next print starts below, at the left.
  current_x_ = 0;
  current_y_ += static_cast<float>(mask_.height);
}

int32_t LayeredCanvas::SetPaletteEntries(int32_t start, int32_t count,
                                         const PaletteEntry* entries) {
  if (entries == nullptr || start < 0 || count < 0 || start > 256) return 0;
  count = std::min(count, 256 - start);
  std::copy(entries, entries + count, logical_.begin() + start);
  return count;
}

int32_t LayeredCanvas::RealizePalette() {
  int32_t changed = 0;
  for (int i = 0; i < 256; ++i) changed += realized_[i] == logical_[i] ? 0 : 1;
  realized_ = logical_;
  nearest_cache_.clear();
  if (PaletteMode() && changed > 0) MarkAllDirty();
  return changed;
}

uint32_t LayeredCanvas::ShownColor(int32_t x, int32_t y) const {
  const uint32_t cell = window_[static_cast<size_t>(y) * config_.width + x];
  if (!PaletteMode()) return cell;
  const PaletteEntry& e = realized_[cell & 0xFF];
  return (static_cast<uint32_t>(e.red) << 16) | (static_cast<uint32_t>(e.green) << 8) | e.blue;
}

void LayeredCanvas::ShownRow(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const {
  const uint32_t* row = window_.data() + static_cast<size_t>(y) * config_.width;
  if (!PaletteMode()) {
    std::copy(row + x0, row + x1, out);
    return;
  }
  for (int32_t x = x0; x < x1; ++x) {
    const PaletteEntry& e = realized_[row[x] & 0xFF];
    *out++ = (static_cast<uint32_t>(e.red) << 16) | (static_cast<uint32_t>(e.green) << 8) | e.blue;
  }
}

}  // namespace zt
