#pragma once

namespace zt {
// Parses the options and runs the display, the render mode or the help text.
int RunProgram(int argc, char** argv);
}  // namespace zt
