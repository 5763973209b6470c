#include "app/runner/hack_target.h"

namespace zt {

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
