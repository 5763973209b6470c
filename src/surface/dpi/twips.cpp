// The arithmetic of the resolution rule, apart from the X server, so the
// Windows build has it too.
#include <cmath>

#include "surface/dpi/dpi.h"

namespace zt {

double TwipsPerPixelForDpi(double dpi) {
  if (!std::isfinite(dpi) || dpi < 30.0 || dpi > 1000.0) return 15;
  return std::nearbyint(1440.0 / dpi);
}

}  // namespace zt
