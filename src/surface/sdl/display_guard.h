#pragma once
// Keeps the program honest about its screen: it refuses to run where nobody
// can see it.
#include <string>

namespace zt {

// Empty when SDL's video driver shows windows on a real screen or was asked
// for by name (SDL_VIDEODRIVER); otherwise why the display cannot be used.
// Without a display server SDL quietly falls back to a driver that draws
// into memory, and the program would run unseen and without end.
std::string UnseenVideoDriver();

}  // namespace zt
