#pragma once
// Keeps the program honest about its screen: it refuses to run where nobody
// can see it, and it ends at once, with one line, when the X server goes.
#include <string>

namespace zt {

// Empty when SDL's video driver shows windows on a real screen or was asked
// for by name (SDL_VIDEODRIVER); otherwise why the display cannot be used.
// Without a display server SDL quietly falls back to a driver that draws
// into memory, and the program would run unseen and without end.
std::string UnseenVideoDriver();

// From now on a broken connection to the X server ends the process with
// status 1 and the line "zolven-taris: lost the connection to the X server
// NAME", instead of Xlib's report and an exit() that would run the static
// destructors while the audio thread still plays. A request the server
// refuses is ignored rather than ending the program.
void InstallXConnectionLossHandler();

// Whether the server has refused a request on `window` because the window
// (or its drawable) no longer exists, since the handler was installed.
bool XWindowRefused(unsigned long window);

}  // namespace zt
