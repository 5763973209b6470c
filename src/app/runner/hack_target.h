#pragma once
// Which X window a screen-saver hack draws on.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/options.h"

namespace zt {

struct HackTarget {
  bool root = false;    // the screen's root window
  uint64_t window = 0;  // otherwise this window
};

// --window-id names the window; --root takes $XSCREENSAVER_WINDOW
// (`env_window`, null when unset) and the root window when it is unset or
// empty. Nothing, with `error` set, when the variable holds no window id.
std::optional<HackTarget> ResolveHackTarget(const Options& options, const char* env_window,
                                            std::string& error);

}  // namespace zt
