#pragma once
// Which key presses count as typing a character. Bindings report a key by
// the character it types when it has one (Enter as '\r', Escape as 27,
// Backspace as 8, Tab as 9, any other printable key as its code point) and
// every other key (shift, arrows, function keys...) by a code with
// kNonCharacterKey set, the way SDL numbers its keys.
#include <cstdint>
#include <optional>

namespace zt {

inline constexpr int32_t kNonCharacterKey = 1 << 30;

// The character handed to the key-press handler, or nothing when the key
// types none. Code points beyond ASCII are reported as '?': the program
// never looks at the character itself. With Alt or the logo key held the
// press is the desktop's shortcut, not typing, and yields nothing.
std::optional<char> KeyCharacter(int32_t key, bool alt_or_logo_held = false);

}  // namespace zt
