// The program on Windows: the screen-saver command lines (/s, /p, /c), the
// same long options as on Linux from a console, and the render mode.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/options.h"
#include "app/runner/render.h"
#include "app/runner/run.h"
#include "app/runner/saver_win32.h"
#include "app/runner/scene_run.h"
#include "app/saver_args.h"
#include "surface/win32/win32_audio.h"
#include "surface/win32/win32_events.h"
#include "surface/win32/win32_host.h"
#include "surface/win32/win32_session.h"

namespace zt {
namespace {

// A program of the GUI subsystem starts without a console; started from
// one, its help and messages go there. Redirected output is left as it is.
void UseParentConsole() {
  const bool out_ok = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
  const bool err_ok = GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN;
  if ((out_ok && err_ok) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out_ok && std::freopen("CONOUT$", "w", stdout) != nullptr) std::cout.clear();
  if (!err_ok && std::freopen("CONOUT$", "w", stderr) != nullptr) std::cerr.clear();
}

struct DisplayRequest {
  Win32WindowKind kind = Win32WindowKind::kFullScreen;
  HWND parent = nullptr;
  Options options;
  SaverSettings settings;
};

int RunWindow(const DisplayRequest& request) {
  const Options& options = request.options;
  const bool preview = request.kind == Win32WindowKind::kPreview;
  Win32Host host;
  // A second copy leaves before anything is shown; the preview runs beside
  // the real thing, as the Settings dialog starts one while the other shows.
  if (!preview && host.PreviousInstance()) return 0;

  Win32Options w;
  w.kind = request.kind;
  w.parent = request.parent;
  w.force_8bit = options.colors256 || request.settings.colors256;
  w.monitor = options.monitor.value_or(0);
  w.window_width = options.window_width;
  w.window_height = options.window_height;
  std::string error;
  std::unique_ptr<Win32Session> session = OpenWin32Session(w, error);
  if (!session) {
    std::cerr << error << "\n";
    return 1;
  }
  Win32Audio audio;
  // The settings' pace and music, unless the command line says otherwise.
  Options scene = options;
  scene.speed = options.speed * request.settings.speed_percent / 100.0;
  if (!scene.music_file && !request.settings.music_file.empty()) {
    scene.music_file = request.settings.music_file;
  }
  FormOptions form_options;
  if (request.kind != Win32WindowKind::kFullScreen) {
    form_options.hide_cursor = false;
    form_options.topmost = false;
  }
  if (preview) {
    // The little monitor of the Settings dialog: no input, no music, no lock.
    form_options.music = false;
    form_options.single_instance = false;
    form_options.input_ends = false;
  }
  return RunScene(session->canvas(), session->events(), session->clock(), host, audio, scene,
                  form_options);
}

}  // namespace

int RunProgram(int argc, char** argv) {
  UseParentConsole();
  std::vector<std::string> args(argv + 1, argv + argc);
  const SaverCommand saver = ParseSaverCommand(args);
  if (!saver.error.empty()) {
    std::cerr << "zolven-taris: " << saver.error << "\n";
    return 2;
  }
  DisplayRequest request;
  using Kind = SaverCommand::Kind;
  switch (saver.kind) {
    case Kind::kSettings:
      RunSettingsDialog(reinterpret_cast<HWND>(static_cast<uintptr_t>(saver.window)));
      return 0;
    case Kind::kPassword:
      return 0;  // a Windows 9x matter; the system keeps the password now
    case Kind::kPreview:
      request.kind = Win32WindowKind::kPreview;
      request.parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(saver.window));
      request.settings = LoadSaverSettings();
      return RunWindow(request);
    case Kind::kRun:
      request.settings = LoadSaverSettings();
      return RunWindow(request);
    case Kind::kNone:
      break;
  }

  const ParseResult parsed = ParseOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "zolven-taris: " << parsed.error << "\n" << UsageText();
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::cout << UsageText()
              << "\nAs a Windows screen saver: /s runs it, /p HWND previews it in that window,\n"
                 "/c opens its settings.\n";
    return 0;
  }
  if (options.version) {
    std::cout << "zolven-taris " << ZT_VERSION << "\n";
    return 0;
  }
  if (options.render_dir) return RunRender(options, std::cerr);
  if (options.root || options.window_id || options.display_name) {
    std::cerr << "zolven-taris: --root, --window-id and -display are X11's; on Windows use "
                 "/p HWND\n";
    return 2;
  }
  request.options = options;
  request.kind = options.windowed ? Win32WindowKind::kWindowed : Win32WindowKind::kFullScreen;
  if (!options.windowed) request.settings = LoadSaverSettings();
  return RunWindow(request);
}

}  // namespace zt
