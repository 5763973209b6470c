#include "surface/events/key_class.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "surface/sdl/sdl_events.h"

namespace zt {
namespace {

struct KeyCase {
  const char* what;
  int32_t key;
  bool alt_or_logo;
  std::optional<char> expected;
};

class KeyCharacterTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyCharacterTest, Classifies) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(KeyCharacter(c.key, c.alt_or_logo), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCharacterTest,
    ::testing::Values(
        KeyCase{"letter", 'a', false, 'a'}, KeyCase{"capital", 'Z', false, 'Z'},
        KeyCase{"digit", '7', false, '7'}, KeyCase{"space", ' ', false, ' '},
        KeyCase{"punctuation", '~', false, '~'}, KeyCase{"enter", '\r', false, '\r'},
        KeyCase{"escape", 27, false, '\x1b'}, KeyCase{"backspace", 8, false, '\b'},
        KeyCase{"tab", '\t', false, '\t'}, KeyCase{"delete", 0x7F, false, std::nullopt},
        KeyCase{"other control", 1, false, std::nullopt},
        KeyCase{"nothing", 0, false, std::nullopt}, KeyCase{"negative", -5, false, std::nullopt},
        KeyCase{"non-character key", kNonCharacterKey | 0xE1, false, std::nullopt},
        KeyCase{"accented letter", 0xE9, false, '?'}, KeyCase{"kana", 0x30A2, false, '?'},
        KeyCase{"C1 control", 0x85, false, std::nullopt},
        KeyCase{"surrogate", 0xD800, false, std::nullopt},
        KeyCase{"beyond Unicode", 0x110000, false, std::nullopt},
        KeyCase{"alt+letter", 'a', true, std::nullopt}));

struct SdlKeyCase {
  const char* what;
  SDL_Keycode key;
  Uint16 mod;
  std::optional<char> expected;
};

class SdlKeyTest : public ::testing::TestWithParam<SdlKeyCase> {};

TEST_P(SdlKeyTest, Classifies) {
  const SdlKeyCase& c = GetParam();
  EXPECT_EQ(SdlKeyCharacter(c.key, c.mod), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SdlKeyTest,
    ::testing::Values(
        SdlKeyCase{"a", SDLK_a, KMOD_NONE, 'a'}, SdlKeyCase{"shifted a", SDLK_a, KMOD_LSHIFT, 'a'},
        SdlKeyCase{"ctrl+a still types", SDLK_a, KMOD_LCTRL, 'a'},
        SdlKeyCase{"alt+a is a shortcut", SDLK_a, KMOD_LALT, std::nullopt},
        SdlKeyCase{"logo+a is a shortcut", SDLK_a, KMOD_RGUI, std::nullopt},
        SdlKeyCase{"return", SDLK_RETURN, KMOD_NONE, '\r'},
        SdlKeyCase{"escape", SDLK_ESCAPE, KMOD_NONE, '\x1b'},
        SdlKeyCase{"space", SDLK_SPACE, KMOD_NONE, ' '},
        SdlKeyCase{"backspace", SDLK_BACKSPACE, KMOD_NONE, '\b'},
        SdlKeyCase{"tab", SDLK_TAB, KMOD_NONE, '\t'},
        SdlKeyCase{"left shift alone", SDLK_LSHIFT, KMOD_LSHIFT, std::nullopt},
        SdlKeyCase{"right ctrl alone", SDLK_RCTRL, KMOD_RCTRL, std::nullopt},
        SdlKeyCase{"alt alone", SDLK_LALT, KMOD_LALT, std::nullopt},
        SdlKeyCase{"caps lock", SDLK_CAPSLOCK, KMOD_NONE, std::nullopt},
        SdlKeyCase{"right arrow", SDLK_RIGHT, KMOD_NONE, std::nullopt},
        SdlKeyCase{"up arrow", SDLK_UP, KMOD_NONE, std::nullopt},
        SdlKeyCase{"F1", SDLK_F1, KMOD_NONE, std::nullopt},
        SdlKeyCase{"F12", SDLK_F12, KMOD_NONE, std::nullopt},
        SdlKeyCase{"home", SDLK_HOME, KMOD_NONE, std::nullopt},
        SdlKeyCase{"delete", SDLK_DELETE, KMOD_NONE, std::nullopt},
        SdlKeyCase{"keypad enter", SDLK_KP_ENTER, KMOD_NONE, '\r'},
        SdlKeyCase{"keypad plus", SDLK_KP_PLUS, KMOD_NONE, '+'},
        SdlKeyCase{"keypad 5, num lock", SDLK_KP_5, KMOD_NUM, '5'},
        SdlKeyCase{"keypad 0, num lock", SDLK_KP_0, KMOD_NUM, '0'},
        SdlKeyCase{"keypad 9, num lock", SDLK_KP_9, KMOD_NUM, '9'},
        SdlKeyCase{"keypad 5 moves without num lock", SDLK_KP_5, KMOD_NONE, std::nullopt},
        SdlKeyCase{"keypad period, num lock", SDLK_KP_PERIOD, KMOD_NUM, '.'},
        SdlKeyCase{"keypad period without", SDLK_KP_PERIOD, KMOD_NONE, std::nullopt}));

}  // namespace
}  // namespace zt
