#pragma once
// The command lines Windows gives a screen saver: /s to run, /p HWND to
// draw in the preview window, /c or /c:HWND for the settings, /a for the
// password change of old Windows. Letters in either case, '-' for '/', the
// window after a colon or as the next argument.
#include <cstdint>
#include <string>
#include <vector>

namespace zt {

struct SaverCommand {
  enum class Kind { kNone, kRun, kPreview, kSettings, kPassword };
  Kind kind = Kind::kNone;  // kNone: not a screen-saver command line
  uint64_t window = 0;      // the preview's window; the settings' owner, 0 none
  std::string error;        // a screen-saver switch used wrongly
};

SaverCommand ParseSaverCommand(const std::vector<std::string>& args);

// Speed of the settings, in percent of the normal pace.
inline constexpr int32_t kMinSpeedPercent = 10;
inline constexpr int32_t kMaxSpeedPercent = 1000;

// What the Settings button stores; the defaults are the program's own
// behaviour.
struct SaverSettings {
  int32_t speed_percent = 100;
  bool colors256 = false;
  std::string music_file;  // empty: zt-bgm.wav or zt-bgm.mid beside the program
  friend bool operator==(const SaverSettings&, const SaverSettings&) = default;
};

// Settings as read back from storage: values out of range give the default.
SaverSettings SanitisedSettings(SaverSettings settings);

}  // namespace zt
