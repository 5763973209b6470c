#include "surface/canvas/layered_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>

#include "base/numeric.h"
#include "base/prefetch.h"

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

void SharedRows::Reset(int32_t width, int32_t height, uint32_t cell) {
  width_ = std::max(width, 0);
  rows_.assign(1, {});
  colour_.assign(1, cell);
  refs_.assign(1, static_cast<uint32_t>(std::max(height, 0)));
  free_.clear();
  ids_.assign(static_cast<size_t>(std::max(height, 0)), 0);
}

uint32_t SharedRows::NewRow() {
  if (!free_.empty()) {
    const uint32_t id = free_.back();
    free_.pop_back();
    refs_[id] = 0;
    return id;
  }
  rows_.emplace_back();
  colour_.push_back(0);
  refs_.push_back(0);
  return static_cast<uint32_t>(rows_.size() - 1);
}

void SharedRows::Release(uint32_t id) {
  if (--refs_[id] != 0) return;
  std::vector<uint32_t>().swap(rows_[id]);
  free_.push_back(id);
}

void SharedRows::Expand(uint32_t id) {
  if (rows_[id].empty()) rows_[id].assign(static_cast<size_t>(width_), colour_[id]);
}

int32_t SharedRows::ExpandedRows() const {
  int32_t n = 0;
  for (size_t id = 0; id < rows_.size(); ++id) n += refs_[id] > 0 && !rows_[id].empty() ? 1 : 0;
  return n;
}

void SharedRows::CopyRow(int32_t y, int32_t left, int32_t right, uint32_t* out) const {
  const uint32_t id = ids_[static_cast<size_t>(y)];
  if (rows_[id].empty()) {
    std::fill(out, out + (right - left), colour_[id]);
  } else {
    std::copy(rows_[id].begin() + left, rows_[id].begin() + right, out);
  }
}

uint32_t SharedRows::At(int32_t x, int32_t y) const {
  const uint32_t id = ids_[static_cast<size_t>(y)];
  return rows_[id].empty() ? colour_[id] : rows_[id][static_cast<size_t>(x)];
}

uint32_t* SharedRows::MutableRow(int32_t y) {
  uint32_t& id = ids_[static_cast<size_t>(y)];
  if (refs_[id] > 1) {
    const uint32_t copy = NewRow();
    rows_[copy] = rows_[id];
    colour_[copy] = colour_[id];
    --refs_[id];
    refs_[copy] = 1;
    id = copy;
  }
  Expand(id);
  return rows_[id].data();
}

void SharedRows::Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell) {
  if (left >= right || top >= bottom) return;
  const bool whole = left == 0 && right == width_;
  // A band over every row (a column of a backdrop) changes each entry in
  // place, as no row outside keeps the old cells: no count per row.
  if (top == 0 && bottom == Height() && !whole) {
    for (uint32_t id = 0; id < rows_.size(); ++id) {
      if (refs_[id] == 0) continue;
      Expand(id);
      std::fill(rows_[id].begin() + left, rows_[id].begin() + right, cell);
    }
    return;
  }
  // Rows that all hold one entry (a column band over rows made alike) are
  // filled once, without the bookkeeping per row below.
  const auto first_row = ids_.begin() + top, end_row = ids_.begin() + bottom;
  if (const uint32_t shared = *first_row;
      std::all_of(first_row, end_row, [shared](uint32_t id) { return id == shared; })) {
    const auto rows = static_cast<uint32_t>(bottom - top);
    uint32_t target = shared;
    if (refs_[shared] != rows) {
      target = NewRow();
      if (!whole) {
        rows_[target] = rows_[shared];
        colour_[target] = colour_[shared];
      }
      refs_[shared] -= rows;
      refs_[target] = rows;
      std::fill(first_row, end_row, target);
    }
    if (whole) {
      std::vector<uint32_t>().swap(rows_[target]);
      colour_[target] = cell;
    } else {
      Expand(target);
      std::fill(rows_[target].begin() + left, rows_[target].begin() + right, cell);
    }
    return;
  }
  constexpr uint32_t kNone = UINT32_MAX;
  // An entry whose users all lie in the filled rows is changed in place;
  // others are copied first, once per entry, and their users in the range
  // move to the copy together.
  // The scratch tables stay all 0 and kNone between calls, so a fill costs
  // its rows, not every entry held.
  users_.resize(rows_.size(), 0);
  remap_.resize(rows_.size(), kNone);
  touched_.clear();
  for (int32_t y = top; y < bottom; ++y) {
    const uint32_t id = ids_[static_cast<size_t>(y)];
    if (users_[id]++ == 0) touched_.push_back(id);
  }
  uint32_t uniform = kNone;  // a whole-width fill makes every row the same
  for (int32_t y = top; y < bottom; ++y) {
    uint32_t& id = ids_[static_cast<size_t>(y)];
    const uint32_t old = id;
    uint32_t next = whole ? uniform : remap_[old];
    if (next == kNone) {
      if (users_[old] == refs_[old]) {
        next = old;
      } else {
        next = NewRow();
        if (!whole) {
          rows_[next] = rows_[old];
          colour_[next] = colour_[old];
        }
      }
      if (whole) {
        std::vector<uint32_t>().swap(rows_[next]);
        colour_[next] = cell;
        uniform = next;
      } else {
        Expand(next);
        std::fill(rows_[next].begin() + left, rows_[next].begin() + right, cell);
        remap_[old] = next;
      }
    }
    if (next == old) continue;
    ++refs_[next];
    id = next;
    Release(old);
  }
  for (uint32_t id : touched_) {
    users_[id] = 0;
    remap_[id] = kNone;
  }
}

void SharedRows::Share() {
  std::unordered_map<uint64_t, uint32_t> first;  // content hash -> first entry with it
  std::vector<uint32_t> to(rows_.size());
  bool any = false;
  for (uint32_t id = 0; id < rows_.size(); ++id) {
    to[id] = id;
    if (refs_[id] == 0) continue;
    const std::vector<uint32_t>& cells = rows_[id];
    // FNV-1a over the cells, or over the colour of a one-colour row.
    uint64_t hash = cells.empty() ? 0x9E3779B97F4A7C15u : 0xCBF29CE484222325u;
    for (uint32_t c : cells.empty() ? std::span<const uint32_t>(&colour_[id], 1) : cells) {
      hash = (hash ^ c) * 0x100000001B3u;
    }
    const auto [it, inserted] = first.emplace(hash, id);
    if (inserted) continue;
    const uint32_t other = it->second;
    const bool same = cells.empty() ? rows_[other].empty() && colour_[other] == colour_[id]
                                    : rows_[other] == cells;
    if (same) {
      to[id] = other;
      any = true;
    }
  }
  if (!any) return;
  for (uint32_t& id : ids_) {
    const uint32_t target = to[id];
    if (target == id) continue;
    ++refs_[target];
    Release(id);
    id = target;
  }
}

bool SharedRows::SameRow(const SharedRows& other, int32_t y) const {
  const uint32_t a = ids_[static_cast<size_t>(y)], b = other.ids_[static_cast<size_t>(y)];
  const std::vector<uint32_t>&mine = rows_[a], &theirs = other.rows_[b];
  if (mine.empty() && theirs.empty()) return colour_[a] == other.colour_[b];
  auto all = [](const std::vector<uint32_t>& cells, uint32_t c) {
    return std::all_of(cells.begin(), cells.end(), [c](uint32_t v) { return v == c; });
  };
  if (mine.empty()) return all(theirs, colour_[a]);
  if (theirs.empty()) return all(mine, other.colour_[b]);
  return mine == theirs;
}

void SharedRows::CopyTo(std::vector<uint32_t>& out) const {
  out.resize(static_cast<size_t>(width_) * ids_.size());
  for (size_t y = 0; y < ids_.size(); ++y) {
    CopyRow(static_cast<int32_t>(y), 0, width_, out.data() + y * static_cast<size_t>(width_));
  }
}

LayeredCanvas::LayeredCanvas(const CanvasConfig& config, TextRasterizer* text)
    : config_(config), text_(text) {
  SizeLayers();
}

void LayeredCanvas::Resize(int32_t width, int32_t height) {
  config_.width = std::max(width, 1);
  config_.height = std::max(height, 1);
  SizeLayers();
  const std::string text = std::move(overlay_text_);
  overlay_text_.clear();
  overlay_ = RectI{};
  SetOverlayText(text);
}

void LayeredCanvas::SizeLayers() {
  backing_.Reset(config_.width, config_.height, 0);
  shown_rows_.Reset(config_.width, config_.height, 0);
  backing_view_valid_ = false;
  backing_changed_ = false;
  tiles_x_ = (config_.width + kTile - 1) / kTile;
  tiles_y_ = (config_.height + kTile - 1) / kTile;
  dirty_tiles_.assign(static_cast<size_t>(tiles_x_) * static_cast<size_t>(tiles_y_), 0);
  blocks_x_ = static_cast<int32_t>((static_cast<uint32_t>(config_.width) + kBlock - 1) / kBlock);
  blocks_y_ = static_cast<int32_t>((static_cast<uint32_t>(config_.height) + kBlock - 1) / kBlock);
  const size_t blocks = static_cast<size_t>(blocks_x_) * static_cast<size_t>(blocks_y_);
  for (size_t b : live_) spare_.push_back(blocks_[b]);
  live_.clear();
  blocks_.assign(blocks, nullptr);
  changed_.assign(blocks, 0);
  MarkAllDirty();
}

uint32_t* LayeredCanvas::TakeBlock(size_t b) {
  if (spare_.empty()) {
    chunks_.push_back(std::make_unique_for_overwrite<uint32_t[]>(kBlocksPerChunk * kBlockCells));
    for (size_t i = kBlocksPerChunk; i-- > 0;) {
      spare_.push_back(chunks_.back().get() + i * kBlockCells);
    }
  }
  uint32_t* cells = spare_.back();
  spare_.pop_back();
  // The next block handed out is likely wanted within a few hundred steps.
  if (!spare_.empty()) PrefetchRange(spare_.back(), kBlockCells * sizeof(uint32_t));
  // In 32 bits, where a division takes half the time: a canvas has far
  // fewer blocks.
  const auto index = static_cast<uint32_t>(b), across = static_cast<uint32_t>(blocks_x_);
  const auto bx = static_cast<int32_t>(index % across);
  const auto by = static_cast<int32_t>(index / across);
  const int32_t left = bx * static_cast<int32_t>(kBlock);
  const int32_t top = by * static_cast<int32_t>(kBlock);
  const int32_t right = std::min(left + static_cast<int32_t>(kBlock), config_.width);
  const int32_t bottom = std::min(top + static_cast<int32_t>(kBlock), config_.height);
  if (right - left == static_cast<int32_t>(kBlock)) {
    shown_rows_.CopySpans<kBlock>(left, top, bottom, cells);
  } else {
    // Cells beyond the canvas edge stay unset: nothing reads them.
    for (int32_t y = top; y < bottom; ++y) {
      shown_rows_.CopyRow(y, left, right, cells + static_cast<size_t>(y - top) * kBlock);
    }
  }
  blocks_[b] = cells;
  live_.push_back(b);
  return cells;
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

void LayeredCanvas::SyncWindow() {
  const auto across = static_cast<uint32_t>(blocks_x_);
  for (size_t b : live_) {
    spare_.push_back(blocks_[b]);
    blocks_[b] = nullptr;
    // In 32 bits, as in TakeBlock.
    const uint32_t bx = static_cast<uint32_t>(b) % across, by = static_cast<uint32_t>(b) / across;
    dirty_tiles_[by * kBlock / kTile * static_cast<uint32_t>(tiles_x_) + bx * kBlock / kTile] = 1;
    any_dirty_ = true;
  }
  live_.clear();
  if (!backing_changed_) return;
  // A backdrop painted again as it was changes nothing that shows.
  for (int32_t by = 0; by < blocks_y_; ++by) {
    uint8_t* row = changed_.data() + static_cast<size_t>(by) * static_cast<size_t>(blocks_x_);
    if (std::none_of(row, row + blocks_x_, [](uint8_t c) { return c != 0; })) continue;
    const int32_t top = by * static_cast<int32_t>(kBlock);
    const int32_t bottom = std::min(top + static_cast<int32_t>(kBlock), config_.height);
    bool same = true;
    for (int32_t y = top; y < bottom && same; ++y) same = backing_.SameRow(shown_rows_, y);
    if (same) std::fill(row, row + blocks_x_, uint8_t{0});
  }
  backing_.Share();
  shown_rows_ = backing_;
  backing_changed_ = false;
  for (size_t b = 0; b < changed_.size(); ++b) {
    if (changed_[b] == 0) continue;
    changed_[b] = 0;
    const size_t bx = b % static_cast<size_t>(blocks_x_), by = b / static_cast<size_t>(blocks_x_);
    dirty_tiles_[by * kBlock / kTile * static_cast<size_t>(tiles_x_) + bx * kBlock / kTile] = 1;
    any_dirty_ = true;
  }
}

std::vector<RectI> TakeFlaggedRects(std::vector<uint8_t>& flags, int32_t columns, int32_t cell,
                                    int32_t width, int32_t height) {
  std::vector<RectI> rects;
  if (columns <= 0) return rects;
  const auto rows = static_cast<int32_t>(flags.size() / static_cast<size_t>(columns));
  // Runs of flagged cells per row, merged with the run above when equal.
  for (int32_t ty = 0; ty < rows; ++ty) {
    uint8_t* row = flags.data() + static_cast<size_t>(ty) * static_cast<size_t>(columns);
    int32_t tx = 0;
    while (tx < columns) {
      if (!row[tx]) {
        ++tx;
        continue;
      }
      int32_t end = tx;
      while (end < columns && row[end]) row[end++] = 0;
      RectI r{tx * cell, ty * cell, std::min(end * cell, width), std::min((ty + 1) * cell, height)};
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
  return rects;
}

std::vector<RectI> LayeredCanvas::TakeDirtyRects() {
  if (!any_dirty_) return {};
  any_dirty_ = false;
  return TakeFlaggedRects(dirty_tiles_, tiles_x_, kTile, config_.width, config_.height);
}

uint32_t LayeredCanvas::PaletteCellFor(ColorRef color) {
  if (last_valid_ && color == last_color_) return last_cell_;
  uint32_t index;
  auto it = nearest_cache_.find(color);
  if (it != nearest_cache_.end()) {
    index = it->second;
  } else {
    index = NearestPaletteIndex(realized_, UnpackRgb(color));
    if (nearest_cache_.size() > 4096) nearest_cache_.clear();
    nearest_cache_.emplace(color, static_cast<uint8_t>(index));
  }
  last_color_ = color;
  last_cell_ = index;
  last_valid_ = true;
  return index;
}

void LayeredCanvas::FillCells(int32_t left, int32_t top, int32_t right, int32_t bottom,
                              uint32_t cell) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, config_.width);
  bottom = std::min(bottom, config_.height);
  if (left >= right || top >= bottom) return;
  if (persistent_) {
    backing_.Fill(left, top, right, bottom, cell);
    MarkChanged(left, top, right, bottom);
    return;
  }
  FillWindow(left, top, right, bottom, cell);
}

void LayeredCanvas::FillWindow(int32_t left, int32_t top, int32_t right, int32_t bottom,
                               uint32_t cell) {
  for (int32_t y = top; y < bottom; ++y) {
    const auto uy = static_cast<uint32_t>(y);
    for (int32_t x = left; x < right;) {
      const auto ux = static_cast<uint32_t>(x);
      const int32_t end = std::min(right, static_cast<int32_t>((ux / kBlock + 1) * kBlock));
      std::fill_n(Block(BlockOf(ux, uy)) + CellOf(ux, uy), end - x, cell);
      x = end;
    }
  }
  MarkDirty(left, top, right, bottom);
}

void LayeredCanvas::MarkChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  BackingChanged();
  if (left >= right || top >= bottom) return;
  for (uint32_t by = static_cast<uint32_t>(top) / kBlock;
       by <= static_cast<uint32_t>(bottom - 1) / kBlock; ++by) {
    uint8_t* row = changed_.data() + by * static_cast<size_t>(blocks_x_);
    std::fill(row + static_cast<uint32_t>(left) / kBlock,
              row + static_cast<uint32_t>(right - 1) / kBlock + 1, uint8_t{1});
  }
}

void LayeredCanvas::Clear() {
  if (persistent_) {
    backing_.Fill(0, 0, config_.width, config_.height,
                  CellFor(PackRgb(back_color_.red, back_color_.green, back_color_.blue)));
    MarkChanged(0, 0, config_.width, config_.height);
  } else {
    SyncWindow();
  }
}

void LayeredCanvas::Refresh() { SyncWindow(); }

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

int32_t LayeredCanvas::DeleteObject(BrushHandle brush) { return brushes_.erase(brush) ? 1 : 0; }

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
  const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
  if (ux >= static_cast<uint32_t>(config_.width) || uy >= static_cast<uint32_t>(config_.height)) {
    return 0;
  }
  PutCellSlow(x, y, color);
  return 1;
}

int32_t LayeredCanvas::SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) {
  if (points.empty()) return none;
  if (persistent_) return Canvas::SetPixelsV(points, color, none);
  // The spokes' path: a spoke's pixels mostly follow each other within a
  // block, so the block and its presentation tile are looked up once per run.
  const uint32_t cell = CellFor(color);
  const auto width = static_cast<uint32_t>(config_.width);
  const auto height = static_cast<uint32_t>(config_.height);
  size_t at = SIZE_MAX;
  uint32_t* cells = nullptr;
  int32_t result = none;
  for (const PointI& p : points) {
    const auto ux = static_cast<uint32_t>(p.x), uy = static_cast<uint32_t>(p.y);
    if (ux >= width || uy >= height) {
      result = 0;
      continue;
    }
    const size_t b = BlockOf(ux, uy);
    if (b != at) {
      at = b;
      cells = Block(b);
      dirty_tiles_[(uy / kTile) * static_cast<uint32_t>(tiles_x_) + ux / kTile] = 1;
      any_dirty_ = true;
    }
    cells[CellOf(ux, uy)] = cell;
    result = 1;
  }
  return result;
}

void LayeredCanvas::PutCellSlow(int32_t x, int32_t y, ColorRef color) {
  PutCell(x, y, CellFor(color));
}

void LayeredCanvas::PSet(float x, float y, ColorRef color) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  const double fx = std::floor(x), fy = std::floor(y);
  if (fx < 0 || fy < 0 || fx >= config_.width || fy >= config_.height) return;
  PutCell(static_cast<int32_t>(fx), static_cast<int32_t>(fy), CellFor(color));
}

uint32_t LayeredCanvas::InkOver(uint32_t under, uint32_t alpha, Rgb fore) {
  auto mix = [alpha](uint32_t from, uint32_t to) {
    return (from * (255 - alpha) + to * alpha + 127) / 255;
  };
  return Xrgb(mix((under >> 16) & 0xFF, fore.red), mix((under >> 8) & 0xFF, fore.green),
              mix(under & 0xFF, fore.blue));
}

RectI LayeredCanvas::InkBox(const CoverageMask& mask, int32_t x0, int32_t y0) const {
  return RectI{std::max(x0, 0), std::max(y0, 0), std::min(x0 + mask.width, config_.width),
               std::min(y0 + mask.height, config_.height)};
}

void LayeredCanvas::Print(std::string_view text) {
  const double pixels = font_points_ * 20.0 / config_.twips_per_pixel;
  font_.pixel_size = static_cast<int32_t>(std::clamp(RoundEven(pixels), int64_t{1}, int64_t{2000}));
  if (text_ == nullptr || text.empty() || !text_->Render(font_, text, mask_)) return;
  const int32_t x0 = static_cast<int32_t>(std::floor(current_x_));
  const int32_t y0 = static_cast<int32_t>(std::floor(current_y_));
  if (persistent_) {
    InkCells(mask_, x0, y0, fore_color_, [this](int32_t x, int32_t y) -> uint32_t& {
      return backing_.MutableRow(y)[static_cast<uint32_t>(x)];
    });
    const RectI box = InkBox(mask_, x0, y0);
    MarkChanged(box.left, box.top, box.right, box.bottom);
  } else {
    InkWindow(mask_, x0, y0, fore_color_);
  }
  // Like a line printed on a form: the next print starts below, at the left.
  current_x_ = 0;
  current_y_ += static_cast<float>(mask_.height);
}

void LayeredCanvas::InkWindow(const CoverageMask& mask, int32_t x0, int32_t y0, ColorRef fore) {
  InkCells(mask, x0, y0, fore, [this](int32_t x, int32_t y) -> uint32_t& {
    const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    return Block(BlockOf(ux, uy))[CellOf(ux, uy)];
  });
  const RectI box = InkBox(mask, x0, y0);
  MarkDirty(box.left, box.top, box.right, box.bottom);
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
  last_valid_ = false;
  if (PaletteMode() && changed > 0) MarkAllDirty();
  return changed;
}

const std::vector<uint32_t>& LayeredCanvas::BackingCells() const {
  if (!backing_view_valid_) {
    backing_.CopyTo(backing_view_);
    backing_view_valid_ = true;
  }
  return backing_view_;
}

uint32_t LayeredCanvas::ShownColor(int32_t x, int32_t y) const {
  const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
  const uint32_t* cells = blocks_[BlockOf(ux, uy)];
  const uint32_t cell = cells != nullptr ? cells[CellOf(ux, uy)] : shown_rows_.At(x, y);
  if (!PaletteMode()) return cell;
  const PaletteEntry& e = realized_[cell & 0xFF];
  return Xrgb(e.red, e.green, e.blue);
}

void LayeredCanvas::WindowCellRow(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const {
  const auto uy = static_cast<uint32_t>(y);
  // Runs of blocks that show the backing come from it in one piece.
  int32_t x = x0;
  while (x < x1) {
    const auto ux = static_cast<uint32_t>(x);
    const size_t b = BlockOf(ux, uy);
    const int32_t block_end = std::min(x1, static_cast<int32_t>((ux / kBlock + 1) * kBlock));
    if (const uint32_t* cells = blocks_[b]; cells != nullptr) {
      std::copy(cells + CellOf(ux, uy), cells + CellOf(ux, uy) + (block_end - x), out + (x - x0));
      x = block_end;
      continue;
    }
    int32_t end = block_end;
    for (size_t next = b + 1; end < x1 && blocks_[next] == nullptr; ++next) {
      end = std::min(x1, end + static_cast<int32_t>(kBlock));
    }
    shown_rows_.CopyRow(y, x, end, out + (x - x0));
    x = end;
  }
}

void LayeredCanvas::ShownRow(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const {
  WindowCellRow(y, x0, x1, out);
  if (PaletteMode()) {
    for (int32_t x = x0; x < x1; ++x) {
      const PaletteEntry& e = realized_[out[x - x0] & 0xFF];
      out[x - x0] = Xrgb(e.red, e.green, e.blue);
    }
  }
  if (y >= overlay_.top && y < overlay_.bottom) CompositeOverlay(y, x0, x1, out);
}

void LayeredCanvas::SetOverlayText(std::string_view text) {
  if (text == overlay_text_) return;
  overlay_text_ = std::string(text);
  // Both the old box and the new one are shown again.
  MarkDirty(overlay_.left, overlay_.top, overlay_.right, overlay_.bottom);
  overlay_ = RectI{};
  if (text.empty() || text_ == nullptr) return;
  const FontRequest font{"monospace", std::clamp(config_.height / 40, 12, 16), false, false};
  if (!text_->Render(font, text, overlay_mask_)) return;
  constexpr int32_t kPad = 3;
  const int32_t right = std::min(overlay_mask_.width + 2 * kPad, config_.width);
  const int32_t top = std::max(config_.height - overlay_mask_.height - 2 * kPad, 0);
  overlay_ = RectI{0, top, right, config_.height};
  MarkDirty(overlay_.left, overlay_.top, overlay_.right, overlay_.bottom);
}

void LayeredCanvas::CompositeOverlay(int32_t y, int32_t x0, int32_t x1, uint32_t* out) const {
  constexpr int32_t kPad = 3;
  const int32_t left = std::max(x0, overlay_.left), right = std::min(x1, overlay_.right);
  const int32_t my = y - overlay_.top - kPad;
  for (int32_t x = left; x < right; ++x) {
    uint32_t& c = out[x - x0];
    // A darkened box keeps the text readable on any backdrop.
    c = (c >> 2) & 0x3F3F3F;
    const int32_t mx = x - overlay_.left - kPad;
    if (my < 0 || my >= overlay_mask_.height || mx < 0 || mx >= overlay_mask_.width) continue;
    // Crisp white text: small type stays legible without smoothing.
    if (overlay_mask_.alpha[static_cast<size_t>(my) * overlay_mask_.width + mx] >= 96) {
      c = 0xFFFFFF;
    }
  }
}

}  // namespace zt
