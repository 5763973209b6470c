// The command-string grammar shared by the bindings.
#include "surface/mci/mci_command.h"

#include <gtest/gtest.h>

#include <string>

namespace zt {
namespace {

struct Parsed {
  const char* text;
  MciKind kind;
  const char* alias;
  const char* path;
};

class MciParseTest : public ::testing::TestWithParam<Parsed> {};

TEST_P(MciParseTest, Parses) {
  const Parsed& p = GetParam();
  std::optional<MciCommand> c = ParseMciCommand(p.text);
  ASSERT_TRUE(c.has_value()) << p.text;
  EXPECT_EQ(c->kind, p.kind);
  EXPECT_EQ(c->alias, p.alias);
  EXPECT_EQ(c->path, p.path);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MciParseTest,
    ::testing::Values(
        Parsed{"capability sequencer can play", MciKind::kCapabilityCanPlay, "sequencer", ""},
        Parsed{"open /opt/zt/zt-bgm.mid alias bgm", MciKind::kOpen, "bgm", "/opt/zt/zt-bgm.mid"},
        Parsed{"set bgm time format ms", MciKind::kSetTimeFormatMs, "bgm", ""},
        Parsed{"status bgm length", MciKind::kStatusLength, "bgm", ""},
        Parsed{"play bgm notify", MciKind::kPlayNotify, "bgm", ""},
        Parsed{"seek bgm to start", MciKind::kSeekToStart, "bgm", ""},
        Parsed{"stop bgm", MciKind::kStop, "bgm", ""},
        Parsed{"close bgm", MciKind::kClose, "bgm", ""},
        Parsed{"close other", MciKind::kClose, "other", ""},
        // Paths are taken as written: spaces, and the last " alias " wins.
        Parsed{"open /home/me/Screen Savers/zt-bgm.mid alias bgm", MciKind::kOpen, "bgm",
               "/home/me/Screen Savers/zt-bgm.mid"},
        Parsed{"open /music/x alias y/zt-bgm.mid alias bgm", MciKind::kOpen, "bgm",
               "/music/x alias y/zt-bgm.mid"},
        Parsed{"open  leading space alias bgm", MciKind::kOpen, "bgm", " leading space"},
        Parsed{"open C:\\Program Files\\zt-bgm.mid alias bgm", MciKind::kOpen, "bgm",
               "C:\\Program Files\\zt-bgm.mid"},
        Parsed{"open \"quoted\" alias bgm", MciKind::kOpen, "bgm", "\"quoted\""}));

class MciRejectTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MciRejectTest, IsUnrecognised) { EXPECT_FALSE(ParseMciCommand(GetParam()).has_value()); }

INSTANTIATE_TEST_SUITE_P(Commands, MciRejectTest,
                         ::testing::Values("", " ", "pause bgm", "play bgm",
                                           "play bgm notify extra", "play  bgm notify",
                                           " play bgm notify", "play bgm notify ",
                                           "PLAY bgm notify", "stop", "stop ", "close bgm bgm",
                                           "seek bgm to end", "set bgm time format frames",
                                           "status bgm position", "capability sequencer can record",
                                           "capability can play", "open", "open ", "open alias bgm",
                                           "open  alias bgm", "open /x.mid", "open /x.mid alias",
                                           "open /x.mid alias ", "open /x.mid alias two words",
                                           "open /x.mid ALIAS bgm", "status \x01 length"));

TEST(MciPathTest, NulInsideAPathIsRefused) {
  std::string text = "open /a";
  text += '\0';
  text += "b alias bgm";
  EXPECT_FALSE(ParseMciCommand(text).has_value());
}

TEST(MciReplyTest, WritesOnlyWhatFits) {
  char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(WriteMciReply("true", buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "true");
  std::fill(buffer, buffer + 5, 'x');
  EXPECT_EQ(WriteMciReply("12345", buffer, sizeof buffer), kMciErrParamOverflow);
  EXPECT_EQ(buffer[0], 'x');  // untouched
  EXPECT_EQ(WriteMciReply("", buffer, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(WriteMciReply("", nullptr, 0), 0u);
  EXPECT_EQ(WriteMciReply("1", nullptr, 0), kMciErrParamOverflow);
  EXPECT_EQ(WriteMciReply("1", buffer, 0), kMciErrParamOverflow);
}

}  // namespace
}  // namespace zt
