// The pieces of the 8-bit X binding that need no display: the choice of
// binding for a screen, the palette as colormap cells, key classification
// and the events that end the program.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/fakes.h"

// Last: Xlib's macros (None, Bool, Status...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "surface/x11/x11_events.h"
#include "surface/x11/x11_pixels.h"

namespace zt {
namespace {

VisualFacts Facts(const char* class_name, int32_t depth, int32_t bpp) {
  VisualFacts v;
  v.class_name = class_name;
  const std::string name = class_name;
  v.true_color = name == "TrueColor";
  v.pseudo_color = name == "PseudoColor";
  v.direct_color = name == "DirectColor";
  v.depth = depth;
  v.bits_per_pixel = bpp;
  if (!v.true_color && !v.direct_color) v.red_mask = v.green_mask = v.blue_mask = 0;
  return v;
}

struct BindingCase {
  const char* name;
  VisualFacts visual;
  ScreenBinding binding;
};

class ScreenBindingTest : public ::testing::TestWithParam<BindingCase> {};

TEST_P(ScreenBindingTest, PicksTheBindingThatCanDrawOnTheScreen) {
  const BindingCase& c = GetParam();
  std::string error;
  EXPECT_EQ(ChooseScreenBinding(c.visual, error), c.binding);
  if (c.binding == ScreenBinding::kUnsupported) {
    // One line naming the visual and what would do.
    EXPECT_NE(error.find(c.visual.class_name), std::string::npos) << error;
    EXPECT_NE(error.find("depth " + std::to_string(c.visual.depth)), std::string::npos) << error;
    EXPECT_NE(error.find("PseudoColor"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  } else {
    EXPECT_TRUE(error.empty()) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Visuals, ScreenBindingTest,
    ::testing::Values(
        BindingCase{"truecolor24", Facts("TrueColor", 24, 32), ScreenBinding::kX11},
        BindingCase{"truecolor16", Facts("TrueColor", 16, 16), ScreenBinding::kX11},
        // A layout the window's images cannot take is left to SDL.
        BindingCase{"truecolor8", Facts("TrueColor", 8, 8), ScreenBinding::kSdl},
        BindingCase{"directcolor24", Facts("DirectColor", 24, 32), ScreenBinding::kSdl},
        BindingCase{"pseudocolor8", Facts("PseudoColor", 8, 8), ScreenBinding::kX11Indexed},
        // Indexes wider or narrower than a byte are not what the canvas keeps.
        BindingCase{"pseudocolor4", Facts("PseudoColor", 4, 4), ScreenBinding::kUnsupported},
        BindingCase{"pseudocolor12", Facts("PseudoColor", 12, 16), ScreenBinding::kUnsupported},
        BindingCase{"grayscale8", Facts("GrayScale", 8, 8), ScreenBinding::kUnsupported},
        BindingCase{"staticcolor8", Facts("StaticColor", 8, 8), ScreenBinding::kUnsupported},
        BindingCase{"staticgray1", Facts("StaticGray", 1, 1), ScreenBinding::kUnsupported}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShowsPaletteIndexesTest, OnlyAnEightBitPseudoColorVisual) {
  std::string error;
  EXPECT_TRUE(ShowsPaletteIndexes(Facts("PseudoColor", 8, 8), error));
  EXPECT_FALSE(ShowsPaletteIndexes(Facts("TrueColor", 24, 32), error));
  EXPECT_NE(error.find("TrueColor, depth 24, 32 bits per pixel"), std::string::npos) << error;
  EXPECT_FALSE(ShowsPaletteIndexes(Facts("GrayScale", 8, 8), error));
  // Depth 8 stored in wider pixels would need another image layout.
  EXPECT_FALSE(ShowsPaletteIndexes(Facts("PseudoColor", 8, 16), error));
}

TEST(PaletteCellsTest, ChannelsWidenToSixteenBitsAtTheirIndexes) {
  std::array<PaletteEntry, 256> palette{};
  palette[1] = PaletteEntry{0, 0, 1, 0};
  palette[98] = PaletteEntry{0, 0, 98, 0};
  palette[100] = PaletteEntry{255, 200, 0, 0};
  palette[255] = PaletteEntry{1, 128, 254, 7};  // the flags byte plays no part
  const std::array<ColorCell, 256> cells = PaletteCells(palette);
  EXPECT_EQ(cells[0], (ColorCell{0, 0, 0}));
  EXPECT_EQ(cells[1], (ColorCell{0, 0, 257}));
  EXPECT_EQ(cells[98], (ColorCell{0, 0, 0x6262}));
  EXPECT_EQ(cells[100], (ColorCell{0xFFFF, 0xC8C8, 0}));
  EXPECT_EQ(cells[255], (ColorCell{0x0101, 0x8080, 0xFEFE}));
  EXPECT_EQ(cells[99], (ColorCell{0, 0, 0}));
  // A server that keeps the top 8 bits gives back the palette's own values.
  for (size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(cells[i].red >> 8, palette[i].red);
    EXPECT_EQ(cells[i].green >> 8, palette[i].green);
    EXPECT_EQ(cells[i].blue >> 8, palette[i].blue);
  }
}

struct KeyCase {
  const char* name;
  unsigned long keysym;
  unsigned int state;
  std::optional<char> expected;
};

class X11KeyCharacterTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(X11KeyCharacterTest, ReportsOnlyKeysThatTypeACharacter) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(X11KeyCharacter(c.keysym, c.state), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, X11KeyCharacterTest,
    ::testing::Values(
        KeyCase{"letter", XK_a, 0, 'a'}, KeyCase{"shifted_letter", XK_A, ShiftMask, 'A'},
        KeyCase{"digit", XK_7, 0, '7'}, KeyCase{"space", XK_space, 0, ' '},
        KeyCase{"tilde", XK_asciitilde, 0, '~'},
        // Control held still types the letter, as in the SDL binding.
        KeyCase{"control_letter", XK_a, ControlMask, 'a'}, KeyCase{"enter", XK_Return, 0, '\r'},
        KeyCase{"keypad_enter", XK_KP_Enter, 0, '\r'}, KeyCase{"escape", XK_Escape, 0, char{27}},
        KeyCase{"backspace", XK_BackSpace, 0, char{8}}, KeyCase{"tab", XK_Tab, 0, '\t'},
        KeyCase{"shift_tab", XK_ISO_Left_Tab, ShiftMask, '\t'},
        // Keypad keys: XLookupString has already applied Num Lock.
        KeyCase{"keypad_digit", XK_KP_5, Mod2Mask, '5'},
        KeyCase{"keypad_moving", XK_KP_Begin, 0, std::nullopt},
        KeyCase{"keypad_home", XK_KP_Home, 0, std::nullopt},
        KeyCase{"keypad_plus", XK_KP_Add, 0, '+'},
        KeyCase{"keypad_decimal", XK_KP_Decimal, Mod2Mask, '.'},
        KeyCase{"latin1_letter", XK_eacute, 0, '?'},
        KeyCase{"cyrillic_letter", XK_Cyrillic_a, 0, '?'},
        KeyCase{"unicode_keysym", 0x10020ACul, 0, '?'},
        KeyCase{"shift_alone", XK_Shift_L, ShiftMask, std::nullopt},
        KeyCase{"control_alone", XK_Control_R, 0, std::nullopt},
        KeyCase{"alt_alone", XK_Alt_L, 0, std::nullopt},
        KeyCase{"arrow", XK_Right, 0, std::nullopt}, KeyCase{"f5", XK_F5, 0, std::nullopt},
        KeyCase{"delete", XK_Delete, 0, std::nullopt},
        KeyCase{"dead_key", XK_dead_acute, 0, std::nullopt},
        KeyCase{"no_symbol", NoSymbol, 0, std::nullopt},
        // Alt or the logo key make it the desktop's shortcut.
        KeyCase{"alt_letter", XK_a, Mod1Mask, std::nullopt},
        KeyCase{"logo_letter", XK_a, Mod4Mask, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class X11EventsInputTest : public ::testing::Test {
 protected:
  X11EventsInputTest() : events_(nullptr, kWindow, nullptr, clock_) {
    EventHandlers handlers;
    handlers.query_unload = [this] { ++closes_; };
    events_.SetHandlers(std::move(handlers));
  }

  XEvent ClientMessageOf(Atom type, Atom protocol) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = kWindow;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(protocol);
    return event;
  }

  static constexpr Window kWindow = 0x400001;
  static constexpr Atom kProtocols = 301, kDelete = 302, kTakeFocus = 303;
  test::FakeClock clock_;
  X11Events events_;
  int closes_ = 0;
};

TEST_F(X11EventsInputTest, OnlyTheDeleteProtocolClosesAndOnlyOnce) {
  events_.AcceptCloseRequests(kProtocols, kDelete);
  events_.Dispatch(ClientMessageOf(kProtocols, kTakeFocus));
  events_.Dispatch(ClientMessageOf(kDelete, kDelete));
  EXPECT_EQ(closes_, 0);
  events_.Dispatch(ClientMessageOf(kProtocols, kDelete));
  events_.Dispatch(ClientMessageOf(kProtocols, kDelete));
  EXPECT_EQ(closes_, 1);
}

TEST_F(X11EventsInputTest, CloseRequestsAreIgnoredUntilAccepted) {
  // A hack's pump never asked for WM_DELETE_WINDOW: atom 0 must not match.
  events_.Dispatch(ClientMessageOf(0, 0));
  events_.Dispatch(ClientMessageOf(kProtocols, kDelete));
  EXPECT_EQ(closes_, 0);
}

}  // namespace
}  // namespace zt
