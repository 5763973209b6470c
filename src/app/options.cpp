#include "app/options.h"

#include <charconv>
#include <cstdio>

#include "base/civil_time.h"

namespace zt {

namespace {

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
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
      text[13] != ':' || text[16] != ':') {
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

std::string UsageText() {
  return "Usage: zolven-taris [OPTION]...\n"
         "Full-screen animated line art. A click or a character key ends it.\n"
         "\n"
         "  --window                 an ordinary window instead of the full screen\n"
         "  --geometry WxH           size of that window (default 800x600)\n"
         "  --display N              the monitor to cover (default: the primary one)\n"
         "  --colors 256             behave as on a 256-colour display\n"
         "  --seed S                 a reproducible sequence of figures\n"
         "  --root, -root            draw on $XSCREENSAVER_WINDOW or the root window\n"
         "  --window-id ID           draw on the X window ID (decimal or 0x-hex)\n"
         "  --render DIR             draw headless into DIR (PNG images, figures.jsonl)\n"
         "      --figures N          figures to render (default 1)\n"
         "      --size WxH           image size (default 1920x1080, 64x64 to 16384x16384)\n"
         "      --start-time YYYY-MM-DDTHH:MM:SS   the virtual clock's start (default now)\n"
         "      --no-images          write figures.jsonl only\n"
         "  --help                   this text\n"
         "  --version                the version\n";
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  auto fail = [&](const std::string& message) {
    result.error = message;
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--render") {
      if (!value(v) || v.empty()) return fail("--render needs a folder");
      o.render_dir = v;
    } else if (arg == "--figures") {
      uint64_t n = 0;
      if (!value(v) || !ParseUnsigned(v, n) || n < 1 || n > 100000000) {
        return fail("--figures needs a whole number of at least 1");
      }
      o.figures = static_cast<int64_t>(n);
    } else if (arg == "--seed") {
      uint64_t n = 0;
      if (!value(v) || !ParseUnsigned(v, n)) return fail("--seed needs a whole number");
      o.seed = n;
    } else if (arg == "--size") {
      if (!value(v) || !ParseSize(v, o.width, o.height) || o.width < 64 || o.height < 64 ||
          o.width > 16384 || o.height > 16384) {
        return fail("--size needs WxH between 64x64 and 16384x16384");
      }
      o.size_given = true;
    } else if (arg == "--colors") {
      if (!value(v) || v != "256") return fail("--colors takes only 256");
      o.colors256 = true;
    } else if (arg == "--start-time") {
      if (!value(v)) return fail("--start-time needs YYYY-MM-DDTHH:MM:SS");
      o.start_time = ParseStartTime(v);
      if (!o.start_time) return fail("--start-time needs YYYY-MM-DDTHH:MM:SS, got '" + v + "'");
    } else if (arg == "--no-images") {
      o.no_images = true;
    } else if (arg == "--window") {
      o.windowed = true;
    } else if (arg == "--geometry") {
      if (!value(v) || !ParseSize(v, o.window_width, o.window_height) || o.window_width < 64 ||
          o.window_height < 64 || o.window_width > 16384 || o.window_height > 16384) {
        return fail("--geometry needs WxH between 64x64 and 16384x16384");
      }
      o.geometry_given = true;
    } else if (arg == "--display") {
      uint64_t n = 0;
      if (!value(v) || !ParseUnsigned(v, n) || n > 64) return fail("--display needs a monitor number");
      o.display = static_cast<int32_t>(n);
    } else if (arg == "--root" || arg == "-root") {
      o.root = true;
    } else if (arg == "--window-id" || arg == "-window-id") {
      const std::optional<uint64_t> id = value(v) ? ParseXWindowId(v) : std::nullopt;
      if (!id) return fail("--window-id needs a window id (decimal or 0x-hex, 32 bits)");
      o.window_id = *id;
    } else {
      return fail("unknown option '" + arg + "'");
    }
  }
  if (!o.render_dir && (o.no_images || o.size_given || o.start_time || o.figures != 1)) {
    return fail("--figures, --size, --start-time and --no-images go with --render");
  }
  if (o.geometry_given && !o.windowed) return fail("--geometry goes with --window");
  return result;
}

}  // namespace zt
