#include "app/options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "base/civil_time.h"

namespace zt {

namespace {

constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 1000;

bool ParseUnsigned(const std::string& text, uint64_t& out, int base = 10) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, out, base);
  return ec == std::errc() && ptr == last;
}

}  // namespace

std::optional<uint64_t> ParseXWindowId(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  uint64_t id = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), id, base);
  // X resource ids have 29 bits; anything past 32 is not a window.
  if (ec != std::errc() || ptr != text.data() + text.size() || id == 0 || id > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  return id;
}

bool ParseSize(const std::string& text, int32_t& width, int32_t& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  uint64_t w = 0, h = 0;
  if (!ParseUnsigned(text.substr(0, x), w) || !ParseUnsigned(text.substr(x + 1), h)) return false;
  if (w > 1000000 || h > 1000000) return false;
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

std::optional<CalendarTime> ParseStartTime(const std::string& text) {
  // Exactly YYYY-MM-DDTHH:MM:SS.
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
      (text[10] != 'T' && text[10] != ' ') || text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  auto field = [&](size_t at, size_t len, int32_t& out) {
    uint64_t v = 0;
    if (!ParseUnsigned(text.substr(at, len), v)) return false;
    out = static_cast<int32_t>(v);
    return true;
  };
  CalendarTime t;
  int32_t second = 0;
  if (!field(0, 4, t.year) || !field(5, 2, t.month) || !field(8, 2, t.day) ||
      !field(11, 2, t.hour) || !field(14, 2, t.minute) || !field(17, 2, second)) {
    return std::nullopt;
  }
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 ||
      second > 59) {
    return std::nullopt;
  }
  // The day must exist in its month.
  const CivilDate back = CivilFromDays(DaysFromCivil(t.year, t.month, t.day));
  if (back.day != t.day || back.month != t.month) return std::nullopt;
  t.second = second;
  return t;
}

double SpeedForDelay(uint64_t delay_us) {
  if (delay_us == 0) return kMaxSpeed;
  return std::clamp(20000.0 / static_cast<double>(delay_us), kMinSpeed, kMaxSpeed);
}

std::string UsageText() {
  return "Usage: zolven-taris [OPTION]...\n"
         "Full-screen animated line art. A click or a character key ends it.\n"
         "Every option may be written with one dash or two.\n"
         "\n"
         "  --window                 an ordinary, resizable window instead of the full screen\n"
         "  --geometry WxH           size of that window (default 800x600)\n"
         "  --monitor N              draw on monitor N only, the others black\n"
         "                           (default: a scene on every monitor)\n"
         "  --display NAME           the X display to use, such as :0 or :0.1\n"
         "  --colors 256             behave as on a 256-colour display\n"
         "  --seed S                 a reproducible sequence of figures\n"
         "  --speed X                pacing factor (default 1, the original pacing)\n"
         "  --delay N                shortest pause between spokes in microseconds\n"
         "                           (20000 is --speed 1; 0 is as fast as possible)\n"
         "  --fps                    show spokes per second and CPU use in a corner\n"
         "  --music FILE             play this wave or MIDI file\n"
         "  --no-music               no music\n"
         "  --install, --visual V, --mono, --pair\n"
         "                           accepted for XScreenSaver; see the manual page\n"
         "  --root                   draw on $XSCREENSAVER_WINDOW or the root window\n"
         "  --window-id ID           draw on the X window ID (decimal or 0x-hex)\n"
         "  --render DIR             draw headless into DIR (PNG images, figures.jsonl)\n"
         "      --figures N          figures to render (default 1)\n"
         "      --size WxH           image size (default 1920x1080, 64x64 to 16384x16384)\n"
         "      --start-time YYYY-MM-DDTHH:MM:SS   the virtual clock's start (default now)\n"
         "      --no-images          write figures.jsonl only\n"
         "  --help                   this text\n"
         "  --version                the version\n";
}

namespace {

// One option: its name without dashes, whether a value follows, and what it
// does to the options; an empty return means it was taken.
struct OptionEntry {
  std::string_view name;
  bool takes_value;
  std::string (*apply)(Options& o, const std::string& value);
};

std::string ApplyFigures(Options& o, const std::string& v) {
  uint64_t n = 0;
  if (!ParseUnsigned(v, n) || n < 1 || n > 100000000) {
    return "--figures needs a whole number of at least 1";
  }
  o.figures = static_cast<int64_t>(n);
  return {};
}

std::string ApplySize(Options& o, const std::string& v) {
  if (!ParseSize(v, o.width, o.height) || o.width < 64 || o.height < 64 || o.width > 16384 ||
      o.height > 16384) {
    return "--size needs WxH between 64x64 and 16384x16384";
  }
  o.size_given = true;
  return {};
}

std::string ApplyGeometry(Options& o, const std::string& v) {
  if (!ParseSize(v, o.window_width, o.window_height) || o.window_width < 64 ||
      o.window_height < 64 || o.window_width > 16384 || o.window_height > 16384) {
    return "--geometry needs WxH between 64x64 and 16384x16384";
  }
  o.geometry_given = true;
  return {};
}

std::string ApplySpeed(Options& o, const std::string& v) {
  double x = 0;
  const char* end = v.data() + v.size();
  const auto [ptr, ec] = std::from_chars(v.data(), end, x);
  if (v.empty() || ec != std::errc() || ptr != end || !(x >= kMinSpeed && x <= kMaxSpeed)) {
    return "--speed needs a number from 0.01 to 1000";
  }
  o.speed = x;
  return {};
}

std::string ApplyDisplay(Options& o, const std::string& v) {
  // A bare number used to pick a monitor; say where that went.
  if (v.empty() || v.find_first_not_of("0123456789") == std::string::npos) {
    return "--display needs an X display name such as :0 or :0.1 (a monitor is --monitor N)";
  }
  o.display_name = v;
  return {};
}

constexpr OptionEntry kOptions[] = {
    {"help", false, [](Options& o, const std::string&) { return o.help = true, std::string(); }},
    {"h", false, [](Options& o, const std::string&) { return o.help = true, std::string(); }},
    {"version", false,
     [](Options& o, const std::string&) { return o.version = true, std::string(); }},
    {"render", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) return std::string("--render needs a folder");
       o.render_dir = v;
       return std::string();
     }},
    {"figures", true, ApplyFigures},
    {"seed", true,
     [](Options& o, const std::string& v) {
       uint64_t n = 0;
       if (!ParseUnsigned(v, n)) return std::string("--seed needs a whole number");
       o.seed = n;
       return std::string();
     }},
    {"size", true, ApplySize},
    {"colors", true,
     [](Options& o, const std::string& v) {
       if (v != "256") return std::string("--colors takes only 256");
       o.colors256 = true;
       return std::string();
     }},
    {"start-time", true,
     [](Options& o, const std::string& v) {
       o.start_time = ParseStartTime(v);
       if (!o.start_time) return "--start-time needs YYYY-MM-DDTHH:MM:SS, got '" + v + "'";
       return std::string();
     }},
    {"no-images", false,
     [](Options& o, const std::string&) { return o.no_images = true, std::string(); }},
    {"window", false,
     [](Options& o, const std::string&) { return o.windowed = true, std::string(); }},
    {"geometry", true, ApplyGeometry},
    {"monitor", true,
     [](Options& o, const std::string& v) {
       uint64_t n = 0;
       if (!ParseUnsigned(v, n) || n > 64) return std::string("--monitor needs a monitor number");
       o.monitor = static_cast<int32_t>(n);
       return std::string();
     }},
    {"display", true, ApplyDisplay},
    {"root", false, [](Options& o, const std::string&) { return o.root = true, std::string(); }},
    {"window-id", true,
     [](Options& o, const std::string& v) {
       const std::optional<uint64_t> id = ParseXWindowId(v);
       if (!id) return std::string("--window-id needs a window id (decimal or 0x-hex, 32 bits)");
       o.window_id = *id;
       return std::string();
     }},
    {"fps", false, [](Options& o, const std::string&) { return o.fps = true, std::string(); }},
    {"speed", true, ApplySpeed},
    {"delay", true,
     [](Options& o, const std::string& v) {
       uint64_t us = 0;
       if (!ParseUnsigned(v, us)) return std::string("--delay needs microseconds, a whole number");
       o.speed = SpeedForDelay(us);
       return std::string();
     }},
    {"install", false,
     [](Options& o, const std::string&) { return o.install = true, std::string(); }},
    {"visual", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) return std::string("--visual needs a visual name");
       o.visual = v;
       return std::string();
     }},
    {"mono", false, [](Options& o, const std::string&) { return o.mono = true, std::string(); }},
    {"pair", false, [](Options& o, const std::string&) { return o.pair = true, std::string(); }},
    {"music", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) return std::string("--music needs a file");
       o.music_file = v;
       return std::string();
     }},
    {"no-music", false,
     [](Options& o, const std::string&) { return o.no_music = true, std::string(); }},
};

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  auto fail = [&](const std::string& message) {
    result.error = message;
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // XScreenSaver's hacks take one dash, GNU programs two; both work.
    std::string_view name = arg;
    if (name.substr(0, 2) == "--") {
      name.remove_prefix(2);
    } else if (name.substr(0, 1) == "-") {
      name.remove_prefix(1);
    } else {
      return fail("unknown option '" + arg + "'");
    }
    const OptionEntry* entry = nullptr;
    for (const OptionEntry& candidate : kOptions) {
      if (candidate.name == name) entry = &candidate;
    }
    if (entry == nullptr) return fail("unknown option '" + arg + "'");
    std::string value;
    if (entry->takes_value) {
      if (i + 1 >= args.size()) {
        // The option's own message names what it needs.
        std::string why = entry->apply(o, std::string());
        return fail(why.empty() ? "--" + std::string(entry->name) + " needs a value" : why);
      }
      value = args[++i];
    }
    if (std::string why = entry->apply(o, value); !why.empty()) return fail(why);
  }
  if (!o.render_dir && (o.no_images || o.size_given || o.start_time || o.figures != 1)) {
    return fail("--figures, --size, --start-time and --no-images go with --render");
  }
  if (o.geometry_given && !o.windowed) return fail("--geometry goes with --window");
  if (o.music_file && o.no_music) return fail("--music and --no-music exclude each other");
  return result;
}

}  // namespace zt
