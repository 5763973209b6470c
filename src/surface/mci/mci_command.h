#pragma once
// The multimedia command strings the music player sends, parsed into a
// struct. Platform-free, so every binding and the fuzzer share one grammar.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zt {

enum class MciKind {
  kCapabilityCanPlay,  // "capability <device> can play"
  kOpen,               // "open <path> alias <alias>"
  kSetTimeFormatMs,    // "set <alias> time format ms"
  kStatusLength,       // "status <alias> length"
  kPlayNotify,         // "play <alias> notify"
  kSeekToStart,        // "seek <alias> to start"
  kStop,               // "stop <alias>"
  kClose,              // "close <alias>"
};

struct MciCommand {
  MciKind kind = MciKind::kClose;
  // The device addressed: the device type for a capability query, the alias
  // for every other command.
  std::string alias;
  std::string path;  // only for kOpen: the file, exactly as written
};

// Error codes, with the numbers the classic multimedia interface uses.
inline constexpr uint32_t kMciErrUnrecognizedCommand = 261;
inline constexpr uint32_t kMciErrHardware = 262;
inline constexpr uint32_t kMciErrInvalidDeviceName = 263;
inline constexpr uint32_t kMciErrDeviceOpen = 265;
inline constexpr uint32_t kMciErrParamOverflow = 268;
inline constexpr uint32_t kMciErrFileNotFound = 275;
inline constexpr uint32_t kMciErrDuplicateAlias = 289;
inline constexpr uint32_t kMciErrInvalidFile = 296;

// Accepts only the command strings above, words separated by single spaces.
// The path of an open is everything between "open " and the last " alias ",
// so a path may hold spaces, and even " alias ", without quotation marks.
std::optional<MciCommand> ParseMciCommand(std::string_view text);

// Copies `text` and its NUL into `reply` when it fits in `size` bytes.
// Returns 0, or kMciErrParamOverflow and leaves the buffer alone.
uint32_t WriteMciReply(std::string_view text, char* reply, uint32_t size);

}  // namespace zt
