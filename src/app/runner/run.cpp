#include "app/runner/run.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/options.h"
#include "app/runner/render.h"
#include "surface/xlib/x_connection.h"

namespace zt {

int RunDisplay(const Options& options);
int RunHack(const Options& options);

void ArmExitWatchdog(int status) {
  // Detached: it outlives main() only if the teardown hangs.
  std::thread([status] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::_Exit(status);
  }).detach();
}

int RunProgram(int argc, char** argv) {
  // A closed stderr pipe costs a warning, never the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = ParseOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "zolven-taris: " << parsed.error << "\n" << UsageText();
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "zolven-taris " << ZT_VERSION << "\n";
    return 0;
  }
  if (options.render_dir) return RunRender(options, std::cerr);
  // Every binding opens the display DISPLAY names.
  if (options.display_name) setenv("DISPLAY", options.display_name->c_str(), 1);
  // Whichever binding talks to the X server, losing it ends the program
  // at once with one line.
  InstallXConnectionLossHandler();
  if (options.root || options.window_id) return RunHack(options);
  return RunDisplay(options);
}

}  // namespace zt
