#pragma once

namespace zt {
// Parses the options and runs the display, the render mode or the help text.
int RunProgram(int argc, char** argv);

// Called as the exit sequence begins: what follows (the pointer shown and
// centred, the music stopped, the window and the sound torn down) waits on
// libraries and the display server, so the process ends with `status`
// within a second however long they take.
void ArmExitWatchdog(int status);
}  // namespace zt
