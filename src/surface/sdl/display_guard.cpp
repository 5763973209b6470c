#include "surface/sdl/display_guard.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace zt {

std::string UnseenVideoDriver() {
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (asked != nullptr && *asked != '\0') return "";
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return "no video driver";
  if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return "";
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0')
    return "no display server found and DISPLAY is not set";
  return std::string("no X server answers at DISPLAY '") + display + "'";
}

}  // namespace zt
