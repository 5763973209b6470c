#pragma once
// How 0x00RRGGBB colours become the bytes of a TrueColor X image, how a
// palette becomes colormap cells, and which binding a screen's visual needs.
// Kept free of Xlib so it can be checked without a display.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/types.h"

namespace zt {

// One channel of a pixel: where its bits sit and how many there are.
struct ChannelLayout {
  int32_t shift = 0;
  int32_t width = 0;
};

struct PixelLayout {
  int32_t bytes_per_pixel = 4;  // 2, 3 or 4
  bool msb_first = false;       // the image's byte order
  ChannelLayout red, green, blue;
  // Bits of the depth that no colour channel covers (an alpha channel, for
  // one): always set, so a visual with alpha shows the pixel opaque.
  uint32_t fill = 0;
};

// What an X image of the window's visual reports, in plain numbers.
struct VisualFacts {
  bool true_color = true;
  bool pseudo_color = false;  // writable colormap cells, one index a pixel
  bool direct_color = false;
  const char* class_name = "TrueColor";
  int32_t depth = 24;
  int32_t bits_per_pixel = 32;
  bool msb_first = false;
  uint32_t red_mask = 0xFF0000;
  uint32_t green_mask = 0x00FF00;
  uint32_t blue_mask = 0x0000FF;
};

// The layout for a visual, or nothing with `error` naming what is missing:
// only TrueColor visuals of 15 to 32 bits with 2, 3 or 4 bytes per pixel.
std::optional<PixelLayout> MakePixelLayout(const VisualFacts& visual, std::string& error);

// One colour as a pixel value of the layout.
uint32_t PackPixel(const PixelLayout& layout, uint32_t xrgb);

// Writes `count` pixels into `dest`, bytes_per_pixel each.
void ConvertXrgbRowToPixels(const uint32_t* xrgb, int32_t count, const PixelLayout& layout,
                            uint8_t* dest);

// Whether the pixels of `visual` can be palette indexes written straight
// into the image: an 8-bit PseudoColor visual, one byte a pixel. Otherwise
// false with `error` naming the visual.
bool ShowsPaletteIndexes(const VisualFacts& visual, std::string& error);

// One colormap cell's colour in X's 16-bit channels.
struct ColorCell {
  uint16_t red = 0;
  uint16_t green = 0;
  uint16_t blue = 0;
  friend constexpr bool operator==(const ColorCell&, const ColorCell&) = default;
};

// The palette as colormap cells: each 8-bit channel times 257, so 255 is
// 65535 and a server keeping 8 bits gives back exactly the palette's value.
std::array<ColorCell, 256> PaletteCells(const std::array<PaletteEntry, 256>& palette);

// Who shows the full-screen window on a screen whose default visual is
// `visual`.
enum class ScreenBinding {
  kX11,          // TrueColor: the program's own X window
  kSdl,          // other direct colour: SDL's window surface handles it
  kX11Indexed,   // 8-bit PseudoColor: an X window with its own colormap
  kUnsupported,  // neither; `error` says why
};
ScreenBinding ChooseScreenBinding(const VisualFacts& visual, std::string& error);

}  // namespace zt
