#include "surface/x11/x11_pixels.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zt {
namespace {

// A mask is usable when its bits are one run.
bool ChannelFromMask(uint32_t mask, ChannelLayout& out) {
  if (mask == 0) return false;
  const int32_t shift = std::countr_zero(mask);
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;
  out.shift = shift;
  out.width = std::popcount(mask);
  return true;
}

// An 8-bit channel scaled to `width` bits: truncated when narrower, its top
// bits repeated below it when wider, so 255 stays all ones.
uint32_t Scale(uint32_t value, int32_t width) {
  if (width <= 8) return value >> (8 - width);
  uint32_t out = 0;
  int32_t filled = 0;
  while (filled < width) {
    const int32_t take = std::min(8, width - filled);
    out = (out << take) | (value >> (8 - take));
    filled += take;
  }
  return out;
}

std::string Describe(const VisualFacts& visual) {
  return std::string(visual.class_name) + ", depth " + std::to_string(visual.depth) + ", " +
         std::to_string(visual.bits_per_pixel) + " bits per pixel";
}

}  // namespace

std::optional<PixelLayout> MakePixelLayout(const VisualFacts& visual, std::string& error) {
  const std::string what = Describe(visual);
  if (!visual.true_color) {
    error = "the window's visual (" + what + ") is not supported; a TrueColor visual is needed";
    return std::nullopt;
  }
  if (visual.depth < 15 || visual.depth > 32 ||
      (visual.bits_per_pixel != 16 && visual.bits_per_pixel != 24 && visual.bits_per_pixel != 32) ||
      visual.depth > visual.bits_per_pixel) {
    error = "the window's visual (" + what + ") is not supported; 15 to 32 bits are needed";
    return std::nullopt;
  }
  PixelLayout layout;
  layout.bytes_per_pixel = visual.bits_per_pixel / 8;
  layout.msb_first = visual.msb_first;
  if (!ChannelFromMask(visual.red_mask, layout.red) ||
      !ChannelFromMask(visual.green_mask, layout.green) ||
      !ChannelFromMask(visual.blue_mask, layout.blue) ||
      (visual.red_mask & visual.green_mask) != 0 || (visual.red_mask & visual.blue_mask) != 0 ||
      (visual.green_mask & visual.blue_mask) != 0) {
    error = "the window's visual (" + what + ") has colour masks that cannot be used";
    return std::nullopt;
  }
  const uint32_t depth_bits = visual.depth >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << visual.depth) - 1;
  layout.fill = depth_bits & ~(visual.red_mask | visual.green_mask | visual.blue_mask);
  return layout;
}

uint32_t PackPixel(const PixelLayout& layout, uint32_t xrgb) {
  const uint32_t r = (xrgb >> 16) & 0xFF, g = (xrgb >> 8) & 0xFF, b = xrgb & 0xFF;
  return layout.fill | (Scale(r, layout.red.width) << layout.red.shift) |
         (Scale(g, layout.green.width) << layout.green.shift) |
         (Scale(b, layout.blue.width) << layout.blue.shift);
}

void ConvertXrgbRowToPixels(const uint32_t* xrgb, int32_t count, const PixelLayout& layout,
                            uint8_t* dest) {
  const int32_t bytes = layout.bytes_per_pixel;
  // The usual 24-bit visual in a 32-bit little-endian image is a plain copy.
  if (bytes == 4 && !layout.msb_first && std::endian::native == std::endian::little &&
      layout.red.shift == 16 && layout.red.width == 8 && layout.green.shift == 8 &&
      layout.green.width == 8 && layout.blue.shift == 0 && layout.blue.width == 8) {
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t pixel = (xrgb[i] & 0x00FFFFFFu) | layout.fill;
      std::memcpy(dest + static_cast<ptrdiff_t>(i) * 4, &pixel, 4);
    }
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t pixel = PackPixel(layout, xrgb[i]);
    uint8_t* out = dest + static_cast<ptrdiff_t>(i) * bytes;
    for (int32_t k = 0; k < bytes; ++k) {
      const int32_t byte = layout.msb_first ? bytes - 1 - k : k;
      out[k] = static_cast<uint8_t>(pixel >> (8 * byte));
    }
  }
}

bool ShowsPaletteIndexes(const VisualFacts& visual, std::string& error) {
  if (visual.pseudo_color && visual.depth == 8 && visual.bits_per_pixel == 8) return true;
  error = "the visual (" + Describe(visual) + ") cannot show palette indexes";
  return false;
}

std::array<ColorCell, 256> PaletteCells(const std::array<PaletteEntry, 256>& palette) {
  std::array<ColorCell, 256> cells{};
  for (size_t i = 0; i < palette.size(); ++i) {
    cells[i].red = static_cast<uint16_t>(palette[i].red * 257);
    cells[i].green = static_cast<uint16_t>(palette[i].green * 257);
    cells[i].blue = static_cast<uint16_t>(palette[i].blue * 257);
  }
  return cells;
}

ScreenBinding ChooseScreenBinding(const VisualFacts& visual, std::string& error) {
  std::string ignored;
  // Our own window holds no copy of the screen beyond what was drawn; SDL
  // copes with the direct-colour visuals it cannot take and reports its
  // own failures.
  if (visual.true_color && MakePixelLayout(visual, ignored)) return ScreenBinding::kX11;
  if (visual.true_color || visual.direct_color) return ScreenBinding::kSdl;
  if (ShowsPaletteIndexes(visual, ignored)) return ScreenBinding::kX11Indexed;
  error = "the screen's visual (" + Describe(visual) +
          ") is not supported; a TrueColor visual or an 8-bit PseudoColor one is needed";
  return ScreenBinding::kUnsupported;
}

}  // namespace zt
