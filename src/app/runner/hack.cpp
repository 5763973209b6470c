#include <iostream>

#include "app/options.h"

namespace zt {
// Drawing into a window the screen-saver daemon owns.
int RunHack(const Options&) {
  std::cerr << "zolven-taris: --root and --window-id are not available in this build\n";
  return 1;
}
}  // namespace zt
