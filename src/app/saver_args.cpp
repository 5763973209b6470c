#include "app/saver_args.h"

#include <cctype>
#include <charconv>

namespace zt {
namespace {

bool ParseWindow(const std::string& text, uint64_t& out) {
  if (text.empty()) return false;
  // Hosts pass the handle in decimal; a 0x-prefixed one is accepted too.
  int base = 10;
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
    base = 16;
  }
  uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || value == 0) return false;
  out = value;
  return true;
}

}  // namespace

SaverCommand ParseSaverCommand(const std::vector<std::string>& args) {
  SaverCommand command;
  if (args.empty()) return command;
  const std::string& first = args[0];
  if (first.size() < 2 || (first[0] != '/' && first[0] != '-') ||
      (first.size() > 2 && first[2] != ':')) {
    return command;
  }
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(first[1])));
  using Kind = SaverCommand::Kind;
  switch (letter) {
    case 's':
      command.kind = Kind::kRun;
      break;
    case 'p':
      command.kind = Kind::kPreview;
      break;
    case 'c':
      command.kind = Kind::kSettings;
      break;
    case 'a':
      command.kind = Kind::kPassword;
      break;
    default:
      return command;  // not ours: the long options may know it
  }
  std::string window;
  size_t used = 1;
  if (first.size() > 2) {
    window = first.substr(3);
  } else if (args.size() > 1) {
    window = args[1];
    used = 2;
  }
  const bool takes_window = command.kind != Kind::kRun;
  if (!takes_window && (first.size() > 2 || args.size() > 1)) {
    command.error = "/s takes nothing more";
  } else if (takes_window && !window.empty() && !ParseWindow(window, command.window)) {
    command.error = "'" + window + "' is not a window handle";
  } else if (command.kind == Kind::kPreview && command.window == 0) {
    command.error = "/p needs the preview's window handle";
  } else if (args.size() > used) {
    command.error = "unexpected '" + args[used] + "'";
  }
  return command;
}

SaverSettings SanitisedSettings(SaverSettings settings) {
  if (settings.speed_percent < kMinSpeedPercent || settings.speed_percent > kMaxSpeedPercent) {
    settings.speed_percent = SaverSettings{}.speed_percent;
  }
  return settings;
}

}  // namespace zt
