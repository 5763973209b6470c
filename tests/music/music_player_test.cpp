// StartMusic, StopMusic and Timer1_Timer against recording doubles: the
// order of the commands, what counts as failure, and what the state becomes.
#include "music/music_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace zt {
namespace {

using test::FakeAudio;
using test::FakePlatform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kOpen = "open /opt/zt/zt-bgm.mid alias bgm";

class MusicPlayerTest : public ::testing::Test {
 protected:
  void MidiOnly() { fake_.host.existing = {"/opt/zt/zt-bgm.mid"}; }
  void Answer(const std::string& prefix, uint32_t result, const std::string& reply = "") {
    fake_.audio.answers.push_back({prefix, result, reply});
  }
  // A sequencer that works, with a song of `length` milliseconds.
  void WorkingSequencer(const std::string& length = "61234") {
    Answer("capability", 0, "true");
    Answer("status bgm length", 0, length);
  }
  std::vector<std::string>& calls() { return fake_.audio.calls; }

  FakePlatform fake_;
  SceneState s_;
};

TEST_F(MusicPlayerTest, NoFileNoMusic) {
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), IsEmpty());
  EXPECT_EQ(s_.MusicMode, 0);
  EXPECT_FALSE(fake_.events.timer_enabled);
}

TEST_F(MusicPlayerTest, WaveWinsOverMidi) {
  fake_.host.existing = {"/opt/zt/zt-bgm.wav", "/opt/zt/zt-bgm.mid"};
  WorkingSequencer();
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("wave /opt/zt/zt-bgm.wav 131081"));
  EXPECT_EQ(s_.MusicMode, 1);
  EXPECT_EQ(s_.MidiState, 0);
  EXPECT_FALSE(fake_.events.timer_enabled);
}

TEST_F(MusicPlayerTest, RefusedWaveLeavesNoMusic) {
  fake_.host.existing = {"/opt/zt/zt-bgm.wav", "/opt/zt/zt-bgm.mid"};
  fake_.audio.wave_result = 0;
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("wave /opt/zt/zt-bgm.wav 131081"));
  EXPECT_EQ(s_.MusicMode, 0);
}

TEST_F(MusicPlayerTest, FolderGetsOneSeparator) {
  struct Case {
    std::string app_path;
    char separator;
    std::string expected;
  };
  for (const Case& c :
       {Case{"/opt/zt", '/', "/opt/zt/zt-bgm.wav"}, Case{"/opt/zt/", '/', "/opt/zt/zt-bgm.wav"},
        Case{"/", '/', "/zt-bgm.wav"}, Case{"", '/', "/zt-bgm.wav"}}) {
    FakePlatform fake;
    SceneState s;
    fake.host.app_path = c.app_path;
    fake.host.existing = {c.expected};
    StartMusic(s, fake.platform);
    EXPECT_THAT(fake.audio.calls, ElementsAre("wave " + c.expected + " 131081")) << c.app_path;
  }
}

TEST_F(MusicPlayerTest, MidiStartsAndArmsTimerWithSongLength) {
  MidiOnly();
  WorkingSequencer("  61234 ");
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("capability sequencer can play", kOpen, "set bgm time format ms",
                                   "status bgm length", "play bgm notify"));
  EXPECT_EQ(s_.MusicMode, 2);
  EXPECT_EQ(s_.MidiState, 2);
  EXPECT_EQ(s_.MidiLengthMs, 61234);
  EXPECT_EQ(s_.MciRewindCommand, "seek bgm to start");
  EXPECT_EQ(s_.MciPlayCommand, "play bgm notify");
  EXPECT_EQ(fake_.events.timer_interval, 61234);
  EXPECT_TRUE(fake_.events.timer_enabled);
}

TEST_F(MusicPlayerTest, FolderWithSpaceIsOpenedUnquoted) {
  fake_.host.app_path = "/home/me/Screen Savers";
  fake_.host.existing = {"/home/me/Screen Savers/zt-bgm.mid"};
  WorkingSequencer();
  StartMusic(s_, fake_.platform);
  ASSERT_GE(calls().size(), 2u);
  EXPECT_EQ(calls()[1], "open /home/me/Screen Savers/zt-bgm.mid alias bgm");
}

TEST_F(MusicPlayerTest, SequencerMustSayTrue) {
  for (const char* reply : {"false", "", "TRUE", "true1", "yes"}) {
    FakePlatform fake;
    SceneState s;
    fake.host.existing = {"/opt/zt/zt-bgm.mid"};
    fake.audio.answers = {{"capability", 0, reply}};
    StartMusic(s, fake.platform);
    EXPECT_THAT(fake.audio.calls, ElementsAre("capability sequencer can play")) << reply;
    EXPECT_EQ(s.MusicMode, 0) << reply;
  }
  // A failing probe, even one that says "true", ends it too.
  Answer("capability", 263, "true");
  MidiOnly();
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("capability sequencer can play"));
  EXPECT_EQ(s_.MusicMode, 0);
}

TEST_F(MusicPlayerTest, FailedOpenHasNothingToClose) {
  MidiOnly();
  WorkingSequencer();
  Answer("open", 275);
  StartMusic(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("capability sequencer can play", kOpen));
  EXPECT_EQ(s_.MusicMode, 0);
  EXPECT_EQ(s_.MidiState, 0);
  EXPECT_FALSE(fake_.events.timer_enabled);
}

// Each failed step after the open closes the song and ends the music.
struct CloseCase {
  const char* name;
  const char* failing;  // prefix of the command that fails, if any
  const char* length;   // the length reply
  std::vector<std::string> expected;
  int16_t midi_state;
  friend void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }
};

class MusicCloseTest : public MusicPlayerTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(MusicCloseTest, ClosesAndStaysSilent) {
  const CloseCase& c = GetParam();
  MidiOnly();
  if (c.failing[0] != '\0') Answer(c.failing, 277);
  Answer("close", 0);
  WorkingSequencer(c.length);
  s_.MciResult = -1;
  StartMusic(s_, fake_.platform);
  EXPECT_EQ(calls(), c.expected);
  EXPECT_EQ(s_.MusicMode, 0);
  EXPECT_EQ(s_.MidiState, c.midi_state);
  EXPECT_EQ(s_.MciResult, 0);  // the close's result
  EXPECT_FALSE(fake_.events.timer_enabled);
}

const std::vector<std::string> kUpToSet = {"capability sequencer can play", kOpen,
                                           "set bgm time format ms", "close bgm"};
const std::vector<std::string> kUpToLength = {"capability sequencer can play", kOpen,
                                              "set bgm time format ms", "status bgm length",
                                              "close bgm"};
const std::vector<std::string> kUpToPlay = {"capability sequencer can play",
                                            kOpen,
                                            "set bgm time format ms",
                                            "status bgm length",
                                            "play bgm notify",
                                            "close bgm"};

INSTANTIATE_TEST_SUITE_P(
    Steps, MusicCloseTest,
    ::testing::Values(CloseCase{"SetFails", "set", "1000", kUpToSet, 0},
                      CloseCase{"LengthFails", "status", "1000", kUpToLength, 0},
                      CloseCase{"LengthZero", "", "0", kUpToLength, 0},
                      CloseCase{"LengthNegative", "", "-5", kUpToLength, 0},
                      CloseCase{"LengthNotANumber", "", "abc", kUpToLength, 0},
                      CloseCase{"LengthTooBig", "", "3000000000", kUpToLength, 0},
                      CloseCase{"PlayFails", "play", "1000", kUpToPlay, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MusicPlayerTest, LengthIsRoundedToEven) {
  for (auto [reply, expected] : {std::pair{"1500.5", 1500}, std::pair{"1501.5", 1502},
                                 std::pair{"1500.49", 1500}, std::pair{"2147483647", 2147483647}}) {
    FakePlatform fake;
    SceneState s;
    fake.host.existing = {"/opt/zt/zt-bgm.mid"};
    fake.audio.answers = {{"capability", 0, "true"}, {"status", 0, reply}};
    StartMusic(s, fake.platform);
    EXPECT_EQ(s.MidiLengthMs, expected) << reply;
    EXPECT_EQ(fake.events.timer_interval, expected) << reply;
  }
}

TEST_F(MusicPlayerTest, TimerRestartsTheSongEachTime) {
  MidiOnly();
  WorkingSequencer();
  StartMusic(s_, fake_.platform);
  calls().clear();
  for (int i = 0; i < 3; ++i) Timer1_Timer(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("seek bgm to start", "play bgm notify", "seek bgm to start",
                                   "play bgm notify", "seek bgm to start", "play bgm notify"));
  EXPECT_EQ(s_.MusicMode, 2);
  EXPECT_TRUE(fake_.events.timer_enabled);
  EXPECT_EQ(fake_.audio.beeps, 0);
}

TEST_F(MusicPlayerTest, TimerUsesTheStoredCommands) {
  s_.MusicMode = 2;
  s_.MciRewindCommand = "seek other to start";
  s_.MciPlayCommand = "play other notify";
  Timer1_Timer(s_, fake_.platform);
  EXPECT_THAT(calls(), ElementsAre("seek other to start", "play other notify"));
}

struct RestartFailure {
  const char* name;
  const char* failing;
  std::vector<std::string> expected;
  friend void PrintTo(const RestartFailure& c, std::ostream* os) { *os << c.name; }
};

class MusicRestartFailureTest : public MusicPlayerTest,
                                public ::testing::WithParamInterface<RestartFailure> {};

TEST_P(MusicRestartFailureTest, BeepsOnceAndEndsTheMusicForGood) {
  MidiOnly();
  WorkingSequencer();
  StartMusic(s_, fake_.platform);
  ASSERT_TRUE(fake_.events.timer_enabled);
  calls().clear();
  fake_.audio.answers.insert(fake_.audio.answers.begin(), {GetParam().failing, 275, ""});
  Timer1_Timer(s_, fake_.platform);
  EXPECT_EQ(calls(), GetParam().expected);
  EXPECT_EQ(fake_.audio.beeps, 1);
  EXPECT_EQ(s_.MusicMode, 0);
  EXPECT_EQ(s_.MidiState, 2);  // left as it was
  EXPECT_FALSE(fake_.events.timer_enabled);
  // A tick that still comes only disables the timer again.
  calls().clear();
  fake_.events.timer_enabled = true;
  Timer1_Timer(s_, fake_.platform);
  EXPECT_THAT(calls(), IsEmpty());
  EXPECT_FALSE(fake_.events.timer_enabled);
  EXPECT_EQ(fake_.audio.beeps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MusicRestartFailureTest,
    ::testing::Values(
        RestartFailure{"SeekFails", "seek", {"seek bgm to start", "beep", "stop bgm", "close bgm"}},
        RestartFailure{"PlayFails",
                       "play",
                       {"seek bgm to start", "play bgm notify", "beep", "stop bgm", "close bgm"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MusicPlayerTest, StopSendsWhatTheStateNeeds) {
  struct Case {
    int16_t midi_state;
    std::vector<std::string> expected;
  };
  for (const Case& c : {Case{2, {"stop bgm", "close bgm"}}, Case{1, {"close bgm"}}, Case{0, {}}}) {
    FakePlatform fake;
    SceneState s;
    s.MusicMode = 2;
    s.MidiState = c.midi_state;
    s.MciResult = -1;
    fake.events.timer_enabled = true;
    fake.audio.answers = {{"stop", 5, ""}, {"close", 7, ""}};
    StopMusic(s, fake.platform);
    EXPECT_EQ(fake.audio.calls, c.expected) << c.midi_state;
    EXPECT_EQ(s.MusicMode, 0);
    EXPECT_EQ(s.MidiState, c.midi_state);
    EXPECT_FALSE(fake.events.timer_enabled);
    EXPECT_EQ(s.MciResult, c.midi_state == 0 ? -1 : 7);  // the last command's result
  }
}

// A binding whose calls throw stands for statements that fail at run time:
// each is skipped and the procedure carries on.
class ThrowingAudio : public FakeAudio {
 public:
  std::string throw_on;
  uint32_t MciSendString(std::string_view cmd, char* reply, uint32_t size) override {
    uint32_t r = FakeAudio::MciSendString(cmd, reply, size);
    if (cmd.starts_with(throw_on)) throw std::runtime_error("device gone");
    return r;
  }
  int32_t SndPlaySound(std::string_view name, uint32_t flags) override {
    FakeAudio::SndPlaySound(name, flags);
    throw std::runtime_error("no wave player");
  }
};

TEST_F(MusicPlayerTest, RunTimeErrorsAreSkipped) {
  {
    ThrowingAudio audio;
    Platform p{fake_.canvas, fake_.events, fake_.clock, fake_.random, fake_.host, audio, nullptr};
    fake_.host.existing = {"/opt/zt/zt-bgm.wav"};
    StartMusic(s_, p);
    EXPECT_EQ(s_.MusicMode, 0);  // the error is seen: no music
  }
  {
    ThrowingAudio audio;
    audio.throw_on = "stop";
    audio.answers = {{"capability", 0, "true"}, {"status", 0, "1000"}};
    Platform p{fake_.canvas, fake_.events, fake_.clock, fake_.random, fake_.host, audio, nullptr};
    fake_.host.existing = {"/opt/zt/zt-bgm.mid"};
    SceneState s;
    StartMusic(s, p);
    ASSERT_EQ(s.MidiState, 2);
    StopMusic(s, p);
    ASSERT_GE(audio.calls.size(), 2u);
    EXPECT_EQ(audio.calls[audio.calls.size() - 2], "stop bgm");
    EXPECT_EQ(audio.calls.back(), "close bgm");  // the close still runs after the stop failed
    EXPECT_EQ(s.MusicMode, 0);
  }
}

// Records the reply buffer size each command came with.
class SizeRecordingAudio : public FakeAudio {
 public:
  std::vector<uint32_t> sizes;
  uint32_t MciSendString(std::string_view cmd, char* reply, uint32_t size) override {
    sizes.push_back(reply != nullptr ? size : 0);
    return FakeAudio::MciSendString(cmd, reply, size);
  }
};

TEST_F(MusicPlayerTest, ReplyBuffersHaveTheirSizes) {
  SizeRecordingAudio audio;
  audio.answers = {{"capability", 0, "true"}, {"status", 0, "1000"}, {"seek", 1, ""}};
  Platform p{fake_.canvas, fake_.events, fake_.clock, fake_.random, fake_.host, audio, nullptr};
  MidiOnly();
  StartMusic(s_, p);
  Timer1_Timer(s_, p);  // seek fails: stop and close follow
  EXPECT_THAT(audio.calls,
              ElementsAre("capability sequencer can play", kOpen, "set bgm time format ms",
                          "status bgm length", "play bgm notify", "seek bgm to start", "beep",
                          "stop bgm", "close bgm"));
  EXPECT_THAT(audio.sizes, ElementsAre(40, 40, 40, 40, 40, 50, 50, 50));
  EXPECT_EQ(s_.MciResult, 0);
}

TEST_F(MusicPlayerTest, RepliesAreReadUpToTheirNul) {
  // The 40-character buffer of the start: a longer reply is cut by the
  // binding, and what is there counts up to the first NUL only.
  MidiOnly();
  Answer("capability", 0, std::string("true\0junk", 9));
  Answer("status", 0, "1000");
  StartMusic(s_, fake_.platform);
  EXPECT_EQ(s_.MusicMode, 2);
  EXPECT_EQ(s_.MidiLengthMs, 1000);
}

}  // namespace
}  // namespace zt
