#pragma once
// The command line. Started without arguments the program is the plain
// full-screen display; everything else is an addition for today's desktops.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/platform.h"

namespace zt {

struct Options {
  bool help = false;
  bool version = false;
  // Headless render mode.
  std::optional<std::string> render_dir;
  int64_t figures = 1;
  std::optional<uint64_t> seed;
  int32_t width = 1920, height = 1080;
  bool size_given = false;
  bool colors256 = false;
  std::optional<CalendarTime> start_time;
  bool no_images = false;
  // Window placement and screen-saver hosts.
  bool windowed = false;
  int32_t window_width = 800, window_height = 600;
  bool geometry_given = false;
  // The monitor the full-screen window covers; none: every monitor.
  std::optional<int32_t> monitor;
  // The X display to open (what DISPLAY would name).
  std::optional<std::string> display_name;
  bool root = false;
  std::optional<uint64_t> window_id;
  // XScreenSaver's standard options.
  bool fps = false;
  // Pacing: every pause of the scene divided by this; 1 is the original.
  double speed = 1;
  bool install = false;
  std::string visual;
  bool mono = false;
  bool pair = false;
  // Music: a file of either kind instead of the usual places, or none.
  std::optional<std::string> music_file;
  bool no_music = false;
};

// -delay N (microseconds) as a --speed factor: the shortest pause between
// two spokes, 20 ms at the original pacing, becomes N microseconds.
double SpeedForDelay(uint64_t delay_us);

struct ParseResult {
  Options options;
  std::string error;  // empty when the command line is good
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

// "WxH" with both parts whole numbers.
bool ParseSize(const std::string& text, int32_t& width, int32_t& height);
// "YYYY-MM-DDTHH:MM:SS", a real calendar date and time.
std::optional<CalendarTime> ParseStartTime(const std::string& text);
// An X window id as daemons write it, for --window-id and
// $XSCREENSAVER_WINDOW alike: decimal or 0x-hex, surrounding blanks
// allowed, not 0 and at most 32 bits; nothing for anything else.
std::optional<uint64_t> ParseXWindowId(std::string_view text);

}  // namespace zt
