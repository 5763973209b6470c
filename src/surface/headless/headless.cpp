#include "surface/headless/headless.h"

#if !defined(_WIN32)
#include <png.h>
#endif

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/civil_time.h"

namespace zt {

VirtualClock::VirtualClock(const CalendarTime& start) : start_civil_ms_(CivilMs(start)) {}

float VirtualClock::Timer() {
  const int64_t ms = start_civil_ms_ + elapsed_ms_;
  const int64_t of_day = ((ms % 86400000) + 86400000) % 86400000;
  return static_cast<float>(static_cast<double>(of_day) / 1000.0);
}

CalendarTime VirtualClock::Now() { return CalendarFromMs(start_civil_ms_ + elapsed_ms_); }

void HeadlessEvents::Schedule(int64_t at_ms, InputKind kind, char key) {
  Input input{at_ms, kind, key};
  auto it = std::upper_bound(inputs_.begin(), inputs_.end(), input,
                             [](const Input& a, const Input& b) { return a.at_ms < b.at_ms; });
  inputs_.insert(it, input);
}

bool HeadlessEvents::WaitForNative(int64_t deadline_ms) {
  int64_t until = deadline_ms;
  if (!inputs_.empty()) until = std::min(until, inputs_.front().at_ms);
  clock_.AdvanceTo(until);
  return InputDue();
}

bool HeadlessEvents::DispatchOne() {
  if (!InputDue()) return false;
  const Input input = inputs_.front();
  inputs_.pop_front();
  switch (input.kind) {
    case InputKind::kClick:
      if (handlers().click) handlers().click();
      break;
    case InputKind::kKey:
      if (handlers().key_press) handlers().key_press(input.key);
      break;
    case InputKind::kClose:
      CloseRequested();
      break;
  }
  return true;
}

#if !defined(_WIN32)
bool WritePng(const LayeredCanvas& canvas, const std::string& path, std::string& error) {
  const int32_t width = canvas.Width(), height = canvas.Height();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  std::vector<png_byte> pixels;
  std::vector<png_byte> colormap;
  if (canvas.PaletteMode()) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = 256;
    colormap.reserve(256 * 3);
    for (const PaletteEntry& e : canvas.RealizedPalette()) {
      colormap.insert(colormap.end(), {e.red, e.green, e.blue});
    }
    const std::span<const uint32_t> cells = canvas.WindowCells();
    pixels.resize(cells.size());
    std::transform(cells.begin(), cells.end(), pixels.begin(),
                   [](uint32_t cell) { return static_cast<png_byte>(cell); });
  } else {
    image.format = PNG_FORMAT_RGB;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    std::vector<uint32_t> shown(static_cast<size_t>(width));
    png_byte* out = pixels.data();
    for (int32_t y = 0; y < height; ++y) {
      canvas.ShownRow(y, 0, width, shown.data());
      for (uint32_t c : shown) {
        *out++ = static_cast<png_byte>(c >> 16);
        *out++ = static_cast<png_byte>(c >> 8);
        *out++ = static_cast<png_byte>(c);
      }
    }
  }
  // A temporary name first, so no half-written image is left behind.
  const std::string temp = path + ".part";
  const bool written = png_image_write_to_file(&image, temp.c_str(), 0, pixels.data(), 0,
                                               colormap.empty() ? nullptr : colormap.data()) != 0;
  png_image_free(&image);
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    error = "cannot write " + path;
    return false;
  }
  return true;
}

#endif  // Windows: png_zlib_win32.cpp

}  // namespace zt
