// The SDL wave player and command strings against a real mixer. The "disk"
// audio driver writes what would be heard into a file, which the tests read
// back to tell sound from silence.
#include "surface/sdl/sdl_audio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "music/midi_builder.h"
#include "music/music_player.h"
#include "support/fakes.h"
#include "surface/mci/mci_command.h"

namespace zt {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A 16-bit mono PCM wave file of a 440 Hz tone.
Bytes ToneWave(int ms) {
  constexpr uint32_t kRate = 22050;
  const uint32_t frames = kRate * static_cast<uint32_t>(ms) / 1000;
  Bytes out;
  auto str = [&out](const char* s) { out.insert(out.end(), s, s + 4); };
  auto le = [&out](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  str("RIFF");
  le(36 + frames * 2, 4);
  str("WAVE");
  str("fmt ");
  le(16, 4);
  le(1, 2);  // PCM
  le(1, 2);  // mono
  le(kRate, 4);
  le(kRate * 2, 4);
  le(2, 2);
  le(16, 2);
  str("data");
  le(frames * 2, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    double v = 12000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * i / kRate);
    le(static_cast<uint16_t>(static_cast<int16_t>(v)), 2);
  }
  return out;
}

// Samples of the raw output, 16-bit native order.
std::vector<int16_t> ReadSamples(const fs::path& path, std::size_t from_byte = 0) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples;
  for (std::size_t i = from_byte & ~std::size_t{1}; i + 1 < raw.size(); i += 2) {
    int16_t s = 0;
    std::memcpy(&s, raw.data() + i, 2);
    samples.push_back(s);
  }
  return samples;
}

int Peak(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

// How far `b` differs from the `n` samples of `a` from where `a` starts to
// sound, as a share of their energy, where `b` comes closest within its first
// `within` samples: what `b` holds before its own onset may be the end of
// something else.
double Mismatch(const std::vector<int16_t>& a, const std::vector<int16_t>& b, std::size_t n,
                std::size_t within) {
  const std::size_t from = static_cast<std::size_t>(
      std::find_if(a.begin(), a.end(), [](int16_t x) { return std::abs(x) > 300; }) - a.begin());
  if (from + n > a.size() || within + n > b.size()) return 1.0;
  double energy = 0;
  for (std::size_t i = 0; i < n; ++i) energy += double(a[from + i]) * a[from + i];
  double best = energy;
  for (std::size_t start = 0; start < within; start += 2) {  // whole frames
    double sum = 0;
    for (std::size_t i = 0; i < n && sum < best; ++i) {
      const double d = double(a[from + i]) - b[start + i];
      sum += d * d;
    }
    best = std::min(best, sum);
  }
  return energy > 0 ? best / energy : 1.0;
}

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class SdlAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zt-audio-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    output_ = dir_ / "out.raw";
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::size_t OutputSize() const {
    std::error_code ec;
    auto size = fs::file_size(output_, ec);
    return ec ? 0 : static_cast<std::size_t>(size);
  }
  // The driver writes in real time, so a loaded machine may lag behind the
  // clock: wait for the output itself, with a generous limit.
  std::size_t WaitForOutput(std::size_t bytes) const {
    for (int i = 0; i < 1000 && OutputSize() < bytes; ++i) Wait(10);
    return OutputSize();
  }
  static constexpr std::size_t kBytesPerMs = 44100 * 2 * 2 / 1000;

  fs::path dir_;
  fs::path output_;
};

TEST_F(SdlAudioTest, WaveLoopSoundsUntilStopped) {
  fs::path wave = dir_ / "zt-bgm.wav";
  WriteFile(wave, ToneWave(100));  // much shorter than the listening time: it must loop
  std::size_t stopped_at = 0;
  {
    SdlAudio audio;
    ASSERT_TRUE(audio.DeviceReady());
    ASSERT_EQ(audio.SndPlaySound(wave.string(), 0x20009), 1);
    WaitForOutput(OutputSize() + 600 * kBytesPerMs);
    EXPECT_EQ(audio.SndPlaySound("", 0x20003), 1);
    stopped_at = OutputSize();
    WaitForOutput(stopped_at + 400 * kBytesPerMs);
  }
  std::vector<int16_t> all = ReadSamples(output_);
  ASSERT_GT(all.size(), 0u);
  // Sound all through the loop, not only its first pass.
  std::size_t late = 350 * kBytesPerMs;
  ASSERT_GT(stopped_at, late + 50 * kBytesPerMs);
  std::vector<int16_t> looped(all.begin() + static_cast<long>(late / 2),
                              all.begin() + static_cast<long>(stopped_at / 2));
  EXPECT_GT(Peak(looped), 5000);
  // Silence once the stop has gone through the buffers already queued.
  std::vector<int16_t> after = ReadSamples(output_, stopped_at + 100 * kBytesPerMs);
  ASSERT_GT(after.size(), 1000u);
  EXPECT_EQ(Peak(after), 0);
}

TEST_F(SdlAudioTest, WavePlayerRefusesWhatIsNotAudio) {
  SdlAudio audio;
  fs::path junk = dir_ / "zt-bgm.wav";
  WriteFile(junk, Bytes{'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E', 9, 9});
  EXPECT_EQ(audio.SndPlaySound(junk.string(), 0x20009), 0);
  // A MIDI song under the wave's name is not decoded into a wave.
  WriteFile(junk, test::HeldChordSong(1000));
  EXPECT_EQ(audio.SndPlaySound(junk.string(), 0x20009), 0);
  fs::path fifo = dir_ / "fifo.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(audio.SndPlaySound(fifo.string(), 0x20009), 0);  // and never waits for a writer
  EXPECT_EQ(audio.SndPlaySound((dir_ / "missing.wav").string(), 0x20009), 0);
  EXPECT_EQ(audio.SndPlaySound(dir_.string(), 0x20009), 0);
}

TEST_F(SdlAudioTest, MidiSongPlaysStopsRestartsAndCloses) {
  fs::path song = dir_ / "zt bgm dir with space" / "zt-bgm.mid";
  fs::create_directories(song.parent_path());
  WriteFile(song, test::HeldChordSong(3000));
  SdlAudio audio;
  ASSERT_TRUE(audio.DeviceReady());
  char reply[40] = {};
  auto send = [&](const std::string& command) {
    return audio.MciSendString(command, reply, sizeof reply);
  };
  ASSERT_EQ(send("capability sequencer can play"), 0u);
  if (std::string(reply) != "true") {
    GTEST_SKIP() << "no General MIDI soundfont here; install one for FluidSynth";
  }
  ASSERT_EQ(send("open " + song.string() + " alias bgm"), 0u);
  ASSERT_EQ(send("set bgm time format ms"), 0u);
  ASSERT_EQ(send("status bgm length"), 0u);
  EXPECT_STREQ(reply, "3000");

  // Each phase: the command, then 400 ms of output to judge.
  struct Phase {
    std::vector<std::string> commands;
    bool sounds;
  };
  const Phase phases[] = {
      {{"play bgm notify"}, true},
      {{"stop bgm"}, false},
      {{"seek bgm to start", "play bgm notify"}, true},  // the timer's restart
      {{"close bgm"}, false},
  };
  for (const Phase& phase : phases) {
    for (const std::string& command : phase.commands) ASSERT_EQ(send(command), 0u) << command;
    std::size_t from = OutputSize();
    std::size_t to = WaitForOutput(from + 400 * kBytesPerMs);
    // Skip what was mixed before the command took effect.
    std::vector<int16_t> heard = ReadSamples(output_, from + 100 * kBytesPerMs);
    heard.resize(std::min(heard.size(), (to - from - 100 * kBytesPerMs) / 2));
    ASSERT_GT(heard.size(), 1000u) << phase.commands.front();
    if (phase.sounds) {
      EXPECT_GT(Peak(heard), 1000) << phase.commands.front();
    } else {
      EXPECT_EQ(Peak(heard), 0) << phase.commands.front();
    }
  }
  // Closed means gone.
  EXPECT_EQ(send("play bgm notify"), kMciErrInvalidDeviceName);
}

// The window timer takes a song back to its start at its end, or after a
// stop anywhere in it. Each time it must sound as on its first pass: its
// first note again, with the instrument the song chose, even where that
// choice sits on a track of its own that ends at once.
TEST_F(SdlAudioTest, RestartPlaysTheSongAsOnItsFirstPass) {
  constexpr uint16_t kDivision = 480;  // 480 ticks = 500 ms
  test::TrackBuilder one;
  one.Program(0, 19).NoteOn(0, 60).NoteOff(144, 60).End(1776);  // 150 ms of organ, then rest
  test::TrackBuilder instrument;
  instrument.Program(0, 19).End();
  test::TrackBuilder notes;
  notes.NoteOn(0, 60).NoteOff(144, 60).End(1776);
  test::TrackBuilder held;  // still sounding when restarted
  held.Program(0, 19).NoteOn(0, 60).NoteOff(1440, 60).End(480);
  test::TrackBuilder bent;  // a pitch bend left behind in the rest
  bent.Program(0, 19).NoteOn(0, 60).NoteOff(144, 60).Event(144, {0xE0, 0, 0x60}).End(1632);
  const struct {
    const char* name;
    Bytes song;
    bool stopped;  // first, or restarted while it plays
  } cases[] = {
      {"restarted while it rests", test::MidiFile(0, kDivision, {one}), false},
      {"stopped in its rest", test::MidiFile(0, kDivision, {one}), true},
      {"instrument on a track of its own", test::MidiFile(1, kDivision, {instrument, notes}),
       false},
      {"restarted while its note sounds", test::MidiFile(0, kDivision, {held}), false},
      {"a bend left behind", test::MidiFile(0, kDivision, {bent}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path song = dir_ / "zt-bgm.mid";
    WriteFile(song, c.song);
    SdlAudio audio;
    ASSERT_TRUE(audio.DeviceReady());
    char reply[40] = {};
    auto send = [&](const std::string& command) {
      ASSERT_EQ(audio.MciSendString(command, reply, sizeof reply), 0u) << command;
    };
    send("capability sequencer can play");
    if (std::string(reply) != "true") GTEST_SKIP() << "no General MIDI soundfont here";
    send("open " + song.string() + " alias bgm");
    // 400 ms from the command: the onset and what follows.
    auto listen = [&](const std::vector<std::string>& commands) {
      std::size_t from = OutputSize();
      for (const std::string& command : commands) send(command);
      std::size_t to = WaitForOutput(from + 400 * kBytesPerMs);
      std::vector<int16_t> heard = ReadSamples(output_, from);
      heard.resize(std::min(heard.size(), (to - from) / 2));
      return heard;
    };
    const std::vector<int16_t> first = listen({"play bgm notify"});
    for (int pass = 0; pass < 2; ++pass) {
      if (c.stopped) {
        send("stop bgm");
      } else {
        Wait(200);  // into the rest
      }
      const std::vector<int16_t> again = listen({"seek bgm to start", "play bgm notify"});
      ASSERT_GT(Peak(first), 1000);
      ASSERT_GT(Peak(again), 1000) << "pass " << pass;
      // The same sound: the same instrument, every channel as it was.
      EXPECT_LT(Mismatch(first, again, 100 * kBytesPerMs / 2, 200 * kBytesPerMs / 2), 0.01)
          << "pass " << pass;
    }
    send("close bgm");
  }
}

TEST_F(SdlAudioTest, CommandsFailCleanly) {
  SdlAudio audio;
  char reply[8] = {'x', 'x', 0};
  fs::path song = dir_ / "song.mid";
  WriteFile(song, test::HeldChordSong(12345600));  // length needs 8 characters and the NUL
  // Nothing open yet: every alias is unknown.
  EXPECT_EQ(audio.MciSendString("status bgm length", reply, sizeof reply),
            kMciErrInvalidDeviceName);
  EXPECT_EQ(audio.MciSendString("capability cdaudio can play", reply, sizeof reply),
            kMciErrInvalidDeviceName);
  EXPECT_EQ(audio.MciSendString("pause bgm", reply, sizeof reply), kMciErrUnrecognizedCommand);
  EXPECT_STREQ(reply, "xx");  // errors leave the reply alone

  ASSERT_EQ(audio.MciSendString("capability sequencer can play", reply, sizeof reply), 0u);
  if (std::string(reply) != "true") GTEST_SKIP() << "no MIDI synthesiser here";

  EXPECT_EQ(audio.MciSendString("open " + (dir_ / "none.mid").string() + " alias bgm", reply,
                                sizeof reply),
            kMciErrFileNotFound);
  fs::path garbage = dir_ / "garbage.mid";
  WriteFile(garbage, Bytes(300, 0x5A));
  EXPECT_EQ(audio.MciSendString("open " + garbage.string() + " alias bgm", reply, sizeof reply),
            kMciErrInvalidFile);
  Bytes cut = test::HeldChordSong(1000);
  cut.resize(cut.size() - 3);
  WriteFile(garbage, cut);
  EXPECT_EQ(audio.MciSendString("open " + garbage.string() + " alias bgm", reply, sizeof reply),
            kMciErrInvalidFile);

  ASSERT_EQ(audio.MciSendString("open " + song.string() + " alias bgm", reply, sizeof reply), 0u);
  EXPECT_EQ(audio.MciSendString("open " + song.string() + " alias bgm", reply, sizeof reply),
            kMciErrDuplicateAlias);
  EXPECT_EQ(audio.MciSendString("stop other", reply, sizeof reply), kMciErrInvalidDeviceName);
  std::strcpy(reply, "xx");
  EXPECT_EQ(audio.MciSendString("status bgm length", reply, sizeof reply), kMciErrParamOverflow);
  EXPECT_STREQ(reply, "xx");
  char wide[9] = {};
  EXPECT_EQ(audio.MciSendString("status bgm length", wide, sizeof wide), 0u);
  EXPECT_STREQ(wide, "12345600");
  EXPECT_EQ(audio.MciSendString("close bgm", reply, sizeof reply), 0u);
  EXPECT_EQ(audio.MciSendString("close bgm", reply, sizeof reply), kMciErrInvalidDeviceName);
}

TEST_F(SdlAudioTest, BeepIsAShortTone) {
  SdlAudio audio;
  ASSERT_TRUE(audio.DeviceReady());
  std::size_t from = WaitForOutput(50 * kBytesPerMs);
  audio.Beep();
  std::size_t to = WaitForOutput(from + 600 * kBytesPerMs);
  std::vector<int16_t> heard = ReadSamples(output_, from);
  heard.resize(std::min(heard.size(), (to - from) / 2));
  ASSERT_GT(heard.size(), 400 * kBytesPerMs / 2);
  EXPECT_GT(Peak(heard), 4000);
  // Over well before half a second: the tail is silent.
  std::vector<int16_t> tail(heard.end() - static_cast<long>(200 * kBytesPerMs / 2), heard.end());
  EXPECT_EQ(Peak(tail), 0);
}

// The program's own player leaves the device to the process's end. Its end
// still silences what plays, and the process then ends as usual with the
// device open, playing silence: in a child of its own, as no player may
// follow it in that process.
TEST_F(SdlAudioTest, PlayerLeftToTheProcessEndSilencesAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const fs::path song = dir_ / "zt-bgm.mid";
  WriteFile(song, test::HeldChordSong(3000));
  const fs::path wave = dir_ / "zt-bgm.wav";
  WriteFile(wave, ToneWave(100));
  char reply[40] = {};
  const struct {
    const char* name;
    std::function<void(SdlAudio&)> start;
  } cases[] = {
      {"a MIDI song",
       [&](SdlAudio& audio) {
         audio.MciSendString("open " + song.string() + " alias bgm", reply, sizeof reply);
         audio.MciSendString("play bgm notify", reply, sizeof reply);
       }},
      {"a looped wave", [&](SdlAudio& audio) { audio.SndPlaySound(wave.string(), 0x20009); }},
  };
  auto end_with = [this](const std::function<void(SdlAudio&)>& start) {
    // Ends the child: status 0 when every check held, else 1 and why.
    auto quit = [this](const char* why) {
      if (why != nullptr) std::fprintf(stderr, "%s\n", why);
      std::error_code ec;
      fs::remove_all(dir_, ec);
      std::exit(why == nullptr ? 0 : 1);
    };
    std::size_t ended_at = 0;
    {
      SdlAudio audio(SdlAudio::DeviceEnd::kWithProcess);
      if (!audio.DeviceReady()) quit("no device");
      start(audio);
      const std::size_t from = OutputSize();
      WaitForOutput(from + 500 * kBytesPerMs);
      if (Peak(ReadSamples(output_, from + 100 * kBytesPerMs)) < 1000)
        quit("silent before its end");
      ended_at = OutputSize();
    }
    WaitForOutput(ended_at + 400 * kBytesPerMs);
    const std::vector<int16_t> after = ReadSamples(output_, ended_at + 100 * kBytesPerMs);
    if (after.size() < 1000) quit("the device stopped with the player");
    if (Peak(after) != 0) quit("still sounding after its end");
    quit(nullptr);
  };
  const bool synthesiser = !FindSoundFont().empty();
  for (const auto& c : cases) {
    if (!synthesiser && c.name == std::string("a MIDI song")) {
      std::fprintf(stderr, "no General MIDI soundfont here: %s left out\n", c.name);
      continue;
    }
    EXPECT_EXIT(end_with(c.start), ::testing::ExitedWithCode(0), "") << c.name;
  }
}

// The player over the real binding, with songs in a folder whose name has a
// space, as the program would find them next to itself.
TEST_F(SdlAudioTest, PlayerRunsARealSongAndRefusesABrokenOne) {
  fs::path folder = dir_ / "Screen Savers";
  fs::create_directories(folder);
  SdlAudio audio;
  test::FakeClock clock;
  test::FakeEvents events(clock);
  test::FakeHost host;
  test::FakeCanvas canvas;
  test::ScriptedRandom random;
  Platform p{canvas, events, clock, random, host, audio, nullptr};
  host.app_path = folder.string();
  host.existing = {(folder / "zt-bgm.mid").string()};

  // A file that is no song, and one whose track is cut short.
  Bytes cut = test::HeldChordSong(2000);
  cut.resize(cut.size() - 4);
  for (const Bytes& broken : {Bytes(64, 'x'), cut}) {
    WriteFile(folder / "zt-bgm.mid", broken);
    SceneState s;
    StartMusic(s, p);
    EXPECT_EQ(s.MusicMode, 0);
    EXPECT_EQ(s.MidiState, 0);
    EXPECT_FALSE(events.timer_enabled);
  }
  // Gone between the existence test and the open.
  fs::remove(folder / "zt-bgm.mid");
  SceneState gone;
  StartMusic(gone, p);
  EXPECT_EQ(gone.MusicMode, 0);

  WriteFile(folder / "zt-bgm.mid", test::HeldChordSong(2000));
  SceneState s;
  StartMusic(s, p);
  if (s.MusicMode == 0) GTEST_SKIP() << "no MIDI synthesiser with instruments here";
  EXPECT_EQ(s.MusicMode, 2);
  EXPECT_EQ(s.MidiState, 2);
  EXPECT_EQ(s.MidiLengthMs, 2000);
  EXPECT_EQ(events.timer_interval, 2000);
  EXPECT_TRUE(events.timer_enabled);
  Timer1_Timer(s, p);
  EXPECT_EQ(s.MusicMode, 2);
  StopMusic(s, p);
  EXPECT_EQ(s.MciResult, 0);
  EXPECT_FALSE(events.timer_enabled);
  // Closed: the alias is free again.
  char reply[8] = {};
  EXPECT_EQ(audio.MciSendString("close bgm", reply, sizeof reply), kMciErrInvalidDeviceName);
}

// Whether a device opens is found out by the sound thread, too late for the
// answers: without one, every command still goes through and nothing sounds.
TEST_F(SdlAudioTest, NoDeviceMeansSilenceNotFailure) {
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlAudio audio;
  EXPECT_FALSE(audio.DeviceReady());
  fs::path wave = dir_ / "zt-bgm.wav";
  WriteFile(wave, ToneWave(50));
  EXPECT_EQ(audio.SndPlaySound(wave.string(), 0x20009), 1);
  EXPECT_EQ(audio.SndPlaySound("", 0x20003), 1);
  char reply[40] = {};
  fs::path song = dir_ / "zt-bgm.mid";
  WriteFile(song, test::HeldChordSong(500));
  for (const char* command : {"play bgm notify", "seek bgm to start", "stop bgm", "close bgm"}) {
    if (std::string(command) == "play bgm notify") {
      ASSERT_EQ(audio.MciSendString("open " + song.string() + " alias bgm", reply, sizeof reply),
                0u);
    }
    EXPECT_EQ(audio.MciSendString(command, reply, sizeof reply), 0u) << command;
  }
  audio.Beep();
  EXPECT_FALSE(audio.DeviceReady());
}

// Songs a synthesiser cannot keep up with, or that would be restarted many
// times a second, are refused at the open.
TEST_F(SdlAudioTest, OpenRefusesDenseAndTinySongs) {
  SdlAudio audio;
  char reply[40] = {};
  test::TrackBuilder notes;
  for (int i = 0; i < 2000; ++i) notes.NoteOn(0, static_cast<uint8_t>(i % 128));
  notes.End(96);
  const struct {
    const char* name;
    Bytes song;
  } cases[] = {
      {"2000 notes on one tick", test::MidiFile(0, 96, {notes})},
      {"a 100 ms song", test::HeldChordSong(100)},
  };
  for (const auto& c : cases) {
    fs::path song = dir_ / "song.mid";
    WriteFile(song, c.song);
    EXPECT_EQ(audio.MciSendString("open " + song.string() + " alias bgm", reply, sizeof reply),
              kMciErrInvalidFile)
        << c.name;
  }
}

}  // namespace
}  // namespace zt
