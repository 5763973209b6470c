#include "surface/headless/headless.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "app/civil_time.h"

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

void HeadlessEvents::SetTimer1Interval(int32_t ms) {
  timer_interval_ = ms;
  Rearm();
}

void HeadlessEvents::SetTimer1Enabled(bool enabled) {
  timer_enabled_ = enabled;
  Rearm();
}

void HeadlessEvents::Rearm() { timer_due_ms_ = clock_.MonotonicMs() + timer_interval_; }

void HeadlessEvents::Pump() {
  ++pumps_;
  const int64_t now = clock_.MonotonicMs();
  while (!inputs_.empty() && inputs_.front().at_ms <= now) {
    const Input input = inputs_.front();
    inputs_.pop_front();
    switch (input.kind) {
      case InputKind::kClick:
        if (handlers_.click) handlers_.click();
        break;
      case InputKind::kKey:
        if (handlers_.key_press) handlers_.key_press(input.key);
        break;
      case InputKind::kClose:
        if (handlers_.query_unload) handlers_.query_unload();
        break;
    }
  }
  if (timer_enabled_ && timer_interval_ > 0 && timer_due_ms_ <= now) {
    timer_due_ms_ = now + timer_interval_;
    if (handlers_.timer1) handlers_.timer1();
  }
}

int64_t HeadlessEvents::NextDeadline(int64_t limit) const {
  int64_t next = limit;
  if (!inputs_.empty()) next = std::min(next, inputs_.front().at_ms);
  if (timer_enabled_ && timer_interval_ > 0) next = std::min(next, timer_due_ms_);
  return std::max(next, clock_.MonotonicMs());
}

void HeadlessEvents::PumpFor(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  do {
    clock_.AdvanceTo(NextDeadline(deadline));
    Pump();
  } while (clock_.MonotonicMs() < deadline);
}

void HeadlessEvents::WaitAndPump(int32_t ms) {
  const int64_t deadline = clock_.MonotonicMs() + std::max(ms, 0);
  clock_.AdvanceTo(NextDeadline(deadline));
  Pump();
}

namespace {

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

}  // namespace

bool WritePng(const LayeredCanvas& canvas, const std::string& path, std::string& error) {
  const std::string temp = path + ".part";
  std::unique_ptr<FILE, FileCloser> file(std::fopen(temp.c_str(), "wb"));
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  const int32_t width = canvas.Width(), height = canvas.Height();
  const bool indexed = canvas.PaletteMode();
  bool ok = true;
  {
    PngWriter w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (w.png != nullptr) w.info = png_create_info_struct(w.png);
    std::vector<png_byte> row(static_cast<size_t>(width) * (indexed ? 1 : 3));
    std::vector<uint32_t> shown(static_cast<size_t>(width));
    if (w.png == nullptr || w.info == nullptr || setjmp(png_jmpbuf(w.png))) {
      ok = false;
    } else {
      png_init_io(w.png, file.get());
      png_set_compression_level(w.png, 3);
      png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width),
                   static_cast<png_uint_32>(height), 8,
                   indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                   PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      if (indexed) {
        std::vector<png_color> colors(256);
        for (int i = 0; i < 256; ++i) {
          const PaletteEntry& e = canvas.RealizedPalette()[i];
          colors[i] = png_color{e.red, e.green, e.blue};
        }
        png_set_PLTE(w.png, w.info, colors.data(), 256);
      }
      png_write_info(w.png, w.info);
      const std::vector<uint32_t>& cells = canvas.WindowCells();
      for (int32_t y = 0; y < height; ++y) {
        if (indexed) {
          const uint32_t* src = cells.data() + static_cast<size_t>(y) * width;
          for (int32_t x = 0; x < width; ++x) row[x] = static_cast<png_byte>(src[x]);
        } else {
          canvas.ShownRow(y, 0, width, shown.data());
          for (int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<png_byte>(shown[x] >> 16);
            row[3 * x + 1] = static_cast<png_byte>(shown[x] >> 8);
            row[3 * x + 2] = static_cast<png_byte>(shown[x]);
          }
        }
        png_write_row(w.png, row.data());
      }
      png_write_end(w.png, nullptr);
    }
  }
  if (std::fclose(file.release()) != 0) ok = false;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zt
