#pragma once
#include <cstdint>

namespace zt {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// A colour packed as the platform takes it: red in the lowest byte, then
// green, then blue.
using ColorRef = uint32_t;

constexpr ColorRef PackRgb(int red, int green, int blue) {
  return static_cast<ColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr Rgb UnpackRgb(ColorRef c) {
  return Rgb{static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
             static_cast<uint8_t>((c >> 16) & 0xFF)};
}

// The same colour as images hold it, 0x00RRGGBB: the bytes swapped.
constexpr uint32_t XrgbFromColorRef(ColorRef c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr uint32_t Xrgb(uint32_t red, uint32_t green, uint32_t blue) {
  return (red << 16) | (green << 8) | blue;
}

// One logical-palette entry, in the byte order the palette loader takes.
struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// Left, top, right, bottom; right and bottom exclusive where a fill uses it.
struct RectI {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend constexpr bool operator==(const RectI&, const RectI&) = default;
};

struct PointI {
  int32_t x = 0;
  int32_t y = 0;
  friend constexpr bool operator==(const PointI&, const PointI&) = default;
};

using BrushHandle = uint32_t;  // 0 is no brush

struct CalendarTime {
  int32_t year = 0;
  int32_t month = 0;  // 1..12
  int32_t day = 0;    // 1..31
  int32_t hour = 0;   // 0..23
  int32_t minute = 0;
  double second = 0;  // with fraction
};

}  // namespace zt
