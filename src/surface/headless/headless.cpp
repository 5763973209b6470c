#include "surface/headless/headless.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
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

void TakePicture(const LayeredCanvas& canvas, PngPicture& picture) {
  picture.width = canvas.Width();
  picture.height = canvas.Height();
  picture.colormap.clear();
  const size_t width = static_cast<size_t>(picture.width);
  if (canvas.PaletteMode()) {
    picture.colormap.reserve(256 * 3);
    for (const PaletteEntry& e : canvas.RealizedPalette()) {
      picture.colormap.insert(picture.colormap.end(), {e.red, e.green, e.blue});
    }
    picture.pixels.resize(width * static_cast<size_t>(picture.height));
    std::vector<uint32_t> cells(width);
    for (int32_t y = 0; y < picture.height; ++y) {
      canvas.WindowCellRow(y, 0, picture.width, cells.data());
      std::transform(cells.begin(), cells.end(), picture.pixels.begin() + y * width,
                     [](uint32_t cell) { return static_cast<uint8_t>(cell); });
    }
    return;
  }
  // A picture of the same size is written over in place: no fresh pages.
  picture.pixels.resize(width * static_cast<size_t>(picture.height) * 3);
  std::vector<uint32_t> shown(width);
  uint8_t* out = picture.pixels.data();
  for (int32_t y = 0; y < picture.height; ++y) {
    canvas.ShownRow(y, 0, picture.width, shown.data());
    // Four pixels at a time as three words: a store per three bytes.
    size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // 0x00RRGGBB as the bytes R, G, B, 0 in memory.
      const auto rgb0 = [](uint32_t c) { return __builtin_bswap32(c) >> 8; };
      for (; x + 4 <= width; x += 4, out += 12) {
        const uint32_t p0 = rgb0(shown[x]), p1 = rgb0(shown[x + 1]);
        const uint32_t p2 = rgb0(shown[x + 2]), p3 = rgb0(shown[x + 3]);
        const uint32_t words[3] = {p0 | p1 << 24, p1 >> 8 | p2 << 16, p2 >> 16 | p3 << 8};
        std::memcpy(out, words, sizeof words);
      }
    }
    for (; x < width; ++x) {
      const uint32_t c = shown[x];
      *out++ = static_cast<uint8_t>(c >> 16);
      *out++ = static_cast<uint8_t>(c >> 8);
      *out++ = static_cast<uint8_t>(c);
    }
  }
}

PngPicture TakePicture(const LayeredCanvas& canvas) {
  PngPicture picture;
  TakePicture(canvas, picture);
  return picture;
}

}  // namespace zt
