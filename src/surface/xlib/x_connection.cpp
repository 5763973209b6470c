#include "surface/xlib/x_connection.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zt {

namespace {

[[noreturn]] int OnConnectionLost(Display* display) {
  const char* name = display != nullptr ? DisplayString(display) : nullptr;
  std::fprintf(stderr, "zolven-taris: lost the connection to the X server %s\n",
               name != nullptr ? name : "");
  std::fflush(stderr);
  // Nothing is left to tidy on a screen that is gone; the static destructors
  // would only race with the audio thread.
  std::_Exit(1);
}

// A refused request is not the end of the show: SDL's own teardown can race
// the server (withdrawing a window that is already going), and Xlib's
// default answer to any error is exit(1).
// Xlib calls the handler on the thread that talks to the server.
std::atomic<unsigned long> g_refused_window{0};

int OnProtocolError(Display*, XErrorEvent* event) {
  if (event != nullptr && (event->error_code == BadWindow || event->error_code == BadDrawable)) {
    g_refused_window = event->resourceid;
  }
  return 0;
}

}  // namespace

bool XWindowRefused(unsigned long window) { return window != 0 && g_refused_window == window; }

void InstallXConnectionLossHandler() {
  XSetIOErrorHandler(OnConnectionLost);
  XSetErrorHandler(OnProtocolError);
}

}  // namespace zt
