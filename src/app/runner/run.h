#pragma once

namespace zt {
// Parses the options and runs the display, the render mode or the help text.
int RunProgram(int argc, char** argv);

// Called once the exit sequence has run (pointer back, music stopped): the
// teardown that follows waits on libraries and the display server, so the
// process ends with `status` within a second however long they take.
void ArmExitWatchdog(int status);
}  // namespace zt
