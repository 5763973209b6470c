#pragma once
// The end of the X connection, whichever binding talks to the server.

namespace zt {

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
