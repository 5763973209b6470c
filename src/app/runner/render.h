#pragma once
#include <ostream>

#include "app/options.h"

namespace zt {
// Runs the scene cycle headless on a virtual clock and writes the figures.
// Returns the process status: 0 done, 1 failed while writing, 2 bad input.
int RunRender(const Options& options, std::ostream& err);
}  // namespace zt
