#include "app/options.h"

namespace zt {
int RunDisplay(const Options&) { return 0; }
}  // namespace zt
