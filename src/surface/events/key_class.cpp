#include "surface/events/key_class.h"

namespace zt {

std::optional<char> KeyCharacter(int32_t key, bool alt_or_logo_held) {
  if (alt_or_logo_held || key <= 0 || (key & kNonCharacterKey) != 0) return std::nullopt;
  switch (key) {
    case '\r':
    case '\n':
    case 27:  // Escape
    case 8:   // Backspace
    case '\t':
      return static_cast<char>(key);
    default:
      break;
  }
  if (key < 0x20 || key == 0x7F) return std::nullopt;  // Delete types nothing
  if (key < 0x7F) return static_cast<char>(key);
  // Surrogates and out-of-range values are no characters.
  if ((key >= 0xD800 && key <= 0xDFFF) || key > 0x10FFFF) return std::nullopt;
  // Remaining C1 controls type nothing either.
  if (key < 0xA0) return std::nullopt;
  return '?';
}

}  // namespace zt
