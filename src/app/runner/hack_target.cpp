#include "app/runner/hack_target.h"

#include <charconv>

namespace zt {

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

std::optional<HackTarget> ResolveHackTarget(const Options& options, const char* env_window,
                                            std::string& error) {
  if (options.window_id) return HackTarget{false, *options.window_id};
  const std::string_view env = env_window != nullptr ? env_window : "";
  if (env.find_first_not_of(" \t\r\n") == std::string_view::npos) return HackTarget{true, 0};
  if (const auto id = ParseXWindowId(env)) return HackTarget{false, *id};
  error = "XSCREENSAVER_WINDOW holds no window id: '" + std::string(env) + "'";
  return std::nullopt;
}

}  // namespace zt
