#pragma once
// The monitors of an X screen, as XScreenSaver sees them: RandR's monitors,
// else Xinerama's heads, else the whole screen as one.
#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "base/types.h"

namespace zt {

// Monitors of `screen`, the primary one first, each inside the screen, none
// twice; never empty.
std::vector<RectI> ListMonitors(Display* display, int screen);

}  // namespace zt
