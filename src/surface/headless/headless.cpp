#include "surface/headless/headless.h"

#if !defined(_WIN32)
#include <png.h>
#endif

#include <algorithm>
#include <cstdio>
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

PngPicture TakePicture(const LayeredCanvas& canvas) {
  PngPicture picture;
  picture.width = canvas.Width();
  picture.height = canvas.Height();
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
    return picture;
  }
  picture.pixels.resize(width * static_cast<size_t>(picture.height) * 3);
  std::vector<uint32_t> shown(width);
  uint8_t* out = picture.pixels.data();
  for (int32_t y = 0; y < picture.height; ++y) {
    canvas.ShownRow(y, 0, picture.width, shown.data());
    for (uint32_t c : shown) {
      *out++ = static_cast<uint8_t>(c >> 16);
      *out++ = static_cast<uint8_t>(c >> 8);
      *out++ = static_cast<uint8_t>(c);
    }
  }
  return picture;
}

#if !defined(_WIN32)  // Windows: png_zlib_win32.cpp
namespace {

// libpng reports failures by a long jump back here; nothing in this function
// has a destructor that the jump could skip.
bool Encode(std::FILE* file, const PngPicture& picture) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  const bool indexed = !picture.colormap.empty();
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (indexed) {
    png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(picture.colormap.data()),
                 static_cast<int>(picture.colormap.size() / 3));
  }
  // Backdrops repeat their rows and a figure is thin lines over them, so the
  // row above predicts almost every byte, and the fastest deflate level
  // finds the long runs of zeros that leaves.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(picture.width) * (indexed ? 1 : 3);
  for (size_t y = 0; y < static_cast<size_t>(picture.height); ++y) {
    png_write_row(png, picture.pixels.data() + y * stride);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const PngPicture& picture, const std::string& path, std::string& error) {
  const std::string temp = path + ".part";
  bool written = false;
  if (std::FILE* file = std::fopen(temp.c_str(), "wb")) {
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    written = Encode(file, picture);
    written = std::fclose(file) == 0 && written;
  }
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    error = "cannot write " + path;
    return false;
  }
  return true;
}
#endif

}  // namespace zt
