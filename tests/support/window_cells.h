#pragma once
// The window layer of a layered canvas as one plain image, row after row.
#include <cstdint>
#include <vector>

#include "surface/canvas/layered_canvas.h"

namespace zt::test {

inline std::vector<uint32_t> WindowCells(const LayeredCanvas& canvas) {
  const auto width = static_cast<size_t>(canvas.Width());
  std::vector<uint32_t> cells(width * static_cast<size_t>(canvas.Height()));
  for (int32_t y = 0; y < canvas.Height(); ++y) {
    canvas.WindowCellRow(y, 0, canvas.Width(), cells.data() + static_cast<size_t>(y) * width);
  }
  return cells;
}

inline uint32_t WindowCell(const LayeredCanvas& canvas, int32_t x, int32_t y) {
  uint32_t cell = 0;
  canvas.WindowCellRow(y, x, x + 1, &cell);
  return cell;
}

}  // namespace zt::test
