#include "app/saver_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt {
namespace {

using Kind = SaverCommand::Kind;

struct SaverCase {
  std::vector<std::string> args;
  Kind kind;
  uint64_t window;
  bool error;
};

class SaverCommandTest : public ::testing::TestWithParam<SaverCase> {};

TEST_P(SaverCommandTest, Parses) {
  const SaverCase& c = GetParam();
  const SaverCommand got = ParseSaverCommand(c.args);
  EXPECT_EQ(got.kind, c.kind);
  EXPECT_EQ(got.window, c.window);
  EXPECT_EQ(!got.error.empty(), c.error) << got.error;
}

// What Windows and other hosts pass, and what a console user might type.
INSTANTIATE_TEST_SUITE_P(Spellings, SaverCommandTest,
                         ::testing::Values(SaverCase{{}, Kind::kNone, 0, false},
                                           SaverCase{{"--seed", "3"}, Kind::kNone, 0, false},
                                           SaverCase{{"/s"}, Kind::kRun, 0, false},
                                           SaverCase{{"/S"}, Kind::kRun, 0, false},
                                           SaverCase{{"-s"}, Kind::kRun, 0, false},
                                           SaverCase{{"/p", "1234"}, Kind::kPreview, 1234, false},
                                           SaverCase{{"/P:65552"}, Kind::kPreview, 65552, false},
                                           SaverCase{{"/p", "0x1a"}, Kind::kPreview, 0x1a, false},
                                           SaverCase{{"/c"}, Kind::kSettings, 0, false},
                                           SaverCase{{"/c:4242"}, Kind::kSettings, 4242, false},
                                           SaverCase{{"/C", "77"}, Kind::kSettings, 77, false},
                                           SaverCase{{"/a", "99"}, Kind::kPassword, 99, false},
                                           // Used wrongly: a preview needs its window, and a
                                           // handle is a whole non-zero number.
                                           SaverCase{{"/p"}, Kind::kPreview, 0, true},
                                           SaverCase{{"/p", "0"}, Kind::kPreview, 0, true},
                                           SaverCase{{"/p", "12ab"}, Kind::kPreview, 0, true},
                                           SaverCase{{"/p", "1", "2"}, Kind::kPreview, 1, true},
                                           SaverCase{{"/s", "extra"}, Kind::kRun, 0, true},
                                           SaverCase{{"/s:1"}, Kind::kRun, 0, true},
                                           // Not screen-saver switches: left to the long options.
                                           SaverCase{{"/x"}, Kind::kNone, 0, false},
                                           SaverCase{{"/save"}, Kind::kNone, 0, false},
                                           SaverCase{{"-root"}, Kind::kNone, 0, false}));

TEST(SaverSettings, DefaultsAreTheProgramsOwnBehaviour) {
  const SaverSettings defaults;
  EXPECT_EQ(defaults.speed_percent, 100);
  EXPECT_FALSE(defaults.colors256);
  EXPECT_TRUE(defaults.music_file.empty());
}

TEST(SaverSettings, SpeedOutOfRangeFallsBackToTheNormalPace) {
  for (int32_t speed : {-5, 0, 9, 1001, 1 << 30}) {
    SaverSettings s;
    s.speed_percent = speed;
    s.colors256 = true;
    const SaverSettings got = SanitisedSettings(s);
    EXPECT_EQ(got.speed_percent, 100) << speed;
    EXPECT_TRUE(got.colors256);
  }
  for (int32_t speed : {10, 250, 1000}) {
    SaverSettings s;
    s.speed_percent = speed;
    EXPECT_EQ(SanitisedSettings(s).speed_percent, speed);
  }
}

}  // namespace
}  // namespace zt
