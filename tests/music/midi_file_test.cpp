// The MIDI length reader: exact lengths for songs built here byte by byte,
// and an error (never a crash) for every kind of broken file.
#include "surface/mci/midi_file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <variant>

#include "music/midi_builder.h"

namespace zt {
namespace {

using test::Bytes;
using test::MidiFile;
using test::TrackBuilder;

MidiSummary Ok(const Bytes& bytes) {
  MidiResult r = ReadMidiFile(bytes);
  if (const MidiError* e = std::get_if<MidiError>(&r)) {
    ADD_FAILURE() << "unexpected error: " << MidiErrorName(*e);
    return {};
  }
  return std::get<MidiSummary>(r);
}

std::optional<MidiError> ErrorOf(const Bytes& bytes) {
  MidiResult r = ReadMidiFile(bytes);
  if (const MidiError* e = std::get_if<MidiError>(&r)) return *e;
  return std::nullopt;
}

TEST(MidiFileTest, DefaultTempoIsHalfASecondPerQuarter) {
  TrackBuilder t;
  t.NoteOn(0, 60).NoteOff(960, 60).End();
  MidiSummary s = Ok(MidiFile(0, 480, {t}));
  EXPECT_EQ(s.format, 0);
  EXPECT_EQ(s.track_count, 1);
  EXPECT_EQ(s.end_tick, 960);
  EXPECT_EQ(s.length_ms, 1000);
}

TEST(MidiFileTest, TempoChangesInTheConductorTrackApplyToAllTracks) {
  // 480 ticks at 500 ms, 480 at 250 ms, then 240 at 1 s a quarter.
  TrackBuilder conductor;
  conductor.Tempo(0, 500000).Tempo(480, 250000).Tempo(480, 1000000).End(0);
  TrackBuilder melody;
  melody.NoteOn(0, 60).NoteOff(1200, 60).End();
  TrackBuilder bass;
  bass.NoteOn(100, 40).NoteOff(300, 40).End();
  MidiSummary s = Ok(MidiFile(1, 480, {conductor, melody, bass}));
  EXPECT_EQ(s.track_count, 3);
  EXPECT_EQ(s.end_tick, 1200);
  EXPECT_EQ(s.length_ms, 500 + 250 + 500);
}

TEST(MidiFileTest, TempoChangesInAnyTrackAndAfterTheEndCount) {
  // Tempo changes stored in the second track and one past the last note.
  TrackBuilder melody;
  melody.NoteOn(0, 60).NoteOff(96, 60).NoteOn(0, 62).NoteOff(96, 62).End();
  TrackBuilder tempos;
  tempos.Tempo(96, 1000000).Tempo(96, 100).End(500).Tempo(0, 50);
  MidiSummary s = Ok(MidiFile(1, 96, {melody, tempos}));
  EXPECT_EQ(s.end_tick, 692);
  EXPECT_EQ(s.length_ms, 500 + 1000 + 1);  // 500 ticks at 100 us/quarter: 0.52 ms
}

TEST(MidiFileTest, LongestTrackDecides) {
  TrackBuilder a, b;
  a.NoteOn(0, 60).NoteOff(100, 60).End();
  b.NoteOn(0, 60).NoteOff(100, 60).End(4700);
  EXPECT_EQ(Ok(MidiFile(1, 100, {a, b})).length_ms, 24000);
}

TEST(MidiFileTest, FormatTwoPlaysSequencesOneAfterTheOther) {
  TrackBuilder a, b;
  a.Tempo(0, 250000).NoteOn(0, 60).NoteOff(480, 60).End();  // 250 ms
  b.NoteOn(0, 60).NoteOff(480, 60).End();                   // own tempo: default, 500 ms
  EXPECT_EQ(Ok(MidiFile(2, 480, {a, b})).length_ms, 750);
}

TEST(MidiFileTest, RunningStatusSysexAndMetaEvents) {
  TrackBuilder t;
  t.Event(0, {0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'})  // track name
      .Sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})       // GM on
      .Event(0, {0xC0, 5})                            // one data byte
      .Event(0, {0x90, 60, 100})
      .Event(120, {64, 100})  // running status note on
      .Event(120, {67, 100})
      .Event(0, {0xFF, 0x01, 0x02, 'h', 'i'})  // meta keeps running status
      .Event(120, {60, 0})
      .Event(0, {0xD0, 10})  // channel pressure: one data byte
      .Event(120, {0xE0, 0, 64})
      .Event(0, {0xF7, 0x02, 0x01, 0x02})  // escape
      .End(120);
  MidiSummary s = Ok(MidiFile(0, 120, {t}));
  EXPECT_EQ(s.end_tick, 600);
  EXPECT_EQ(s.length_ms, 2500);
}

TEST(MidiFileTest, LongDeltaTimes) {
  TrackBuilder t;
  t.NoteOn(0x0FFFFFFF, 60).End();  // the largest four-byte quantity
  MidiSummary s = Ok(MidiFile(0, 0x7FFF, {t}));
  EXPECT_EQ(s.end_tick, 0x0FFFFFFF);
  EXPECT_EQ(s.length_ms, 4096125);  // 268435455 / 32767 * 500 ms
}

struct SmpteCase {
  int fps;
  int ticks_per_frame;
  uint32_t ticks;
  int64_t expected_ms;
  friend void PrintTo(const SmpteCase& c, std::ostream* os) { *os << c.fps << " fps"; }
};

class MidiSmpteTest : public ::testing::TestWithParam<SmpteCase> {};

TEST_P(MidiSmpteTest, TicksAreFramesNotBeats) {
  const SmpteCase& c = GetParam();
  TrackBuilder t;
  t.Tempo(0, 100000).NoteOn(0, 60).NoteOff(c.ticks, 60).End();  // tempo means nothing here
  uint16_t division =
      static_cast<uint16_t>((static_cast<uint8_t>(-c.fps) << 8) | c.ticks_per_frame);
  EXPECT_EQ(Ok(MidiFile(1, division, {t})).length_ms, c.expected_ms);
}

INSTANTIATE_TEST_SUITE_P(Rates, MidiSmpteTest,
                         ::testing::Values(SmpteCase{24, 40, 960, 1000},   // 960 ticks a second
                                           SmpteCase{25, 40, 1500, 1500},  // 1000 ticks a second
                                           SmpteCase{30, 80, 1200, 500},
                                           SmpteCase{29, 100, 30000, 10010}));  // drop frame

TEST(MidiFileTest, UnknownChunksAndLongerHeaderAreSkipped) {
  TrackBuilder t;
  t.NoteOn(0, 60).NoteOff(480, 60).End();
  Bytes file;
  Bytes header = {0, 1, 0, 1, 0x01, 0xE0, 0xAA, 0xBB};  // two extra header bytes
  test::PutChunk(file, "MThd", header);
  test::PutChunk(file, "XFIH", Bytes{1, 2, 3, 4, 5});
  test::PutChunk(file, "MTrk", t.data());
  EXPECT_EQ(Ok(file).length_ms, 500);
}

TEST(MidiFileTest, PaddingAfterEndOfTrackIsIgnored) {
  TrackBuilder t;
  t.NoteOn(0, 60).NoteOff(480, 60).End().Event(0, {0x90, 1, 1});
  EXPECT_EQ(Ok(MidiFile(0, 480, {t})).length_ms, 500);
}

TEST(MidiFileTest, EmptySongHasLengthZero) {
  TrackBuilder t;
  t.End();
  EXPECT_EQ(Ok(MidiFile(0, 480, {t})).length_ms, 0);
}

struct BrokenCase {
  const char* name;
  Bytes bytes;
  MidiError expected;
  friend void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }
};

Bytes GoodSong() {
  TrackBuilder t;
  t.NoteOn(0, 60).NoteOff(480, 60).End();
  return MidiFile(0, 480, {t});
}

Bytes WithByte(Bytes b, std::size_t at, uint8_t value) {
  b[at] = value;
  return b;
}

// A song of one track holding exactly `track` (delta times included).
Bytes OneTrack(std::initializer_list<uint8_t> track) {
  Bytes file;
  test::PutChunk(file, "MThd", Bytes{0, 0, 0, 1, 0x01, 0xE0});
  test::PutChunk(file, "MTrk", Bytes(track));
  return file;
}

class MidiBrokenTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(MidiBrokenTest, IsAnErrorNotACrash) {
  std::optional<MidiError> e = ErrorOf(GetParam().bytes);
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(*e, GetParam().expected) << MidiErrorName(*e);
}

std::vector<BrokenCase> BrokenCases() {
  Bytes good = GoodSong();  // header 14 bytes, track header at 14, events from 22
  std::vector<BrokenCase> cases = {
      {"Empty", {}, MidiError::kNotMidi},
      {"Riff", {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, MidiError::kNotMidi},
      {"HeaderIdOnly", {'M', 'T', 'h', 'd'}, MidiError::kTruncated},
      {"HeaderCut", Bytes(good.begin(), good.begin() + 10), MidiError::kTruncated},
      {"HeaderTooShort", WithByte(good, 7, 4), MidiError::kBadHeader},
      {"HeaderTooLong", WithByte(good, 6, 1), MidiError::kTruncated},
      {"FormatThree", WithByte(good, 9, 3), MidiError::kBadHeader},
      {"NoTracks", WithByte(good, 11, 0), MidiError::kNoTracks},
      {"FormatZeroTwoTracks", WithByte(good, 11, 2), MidiError::kBadHeader},
      {"MissingTrack", WithByte(WithByte(good, 9, 1), 11, 2), MidiError::kTruncated},
      {"DivisionZero", WithByte(WithByte(good, 12, 0), 13, 0), MidiError::kBadHeader},
      {"SmpteBadRate", WithByte(good, 12, 0xE5), MidiError::kBadHeader},
      {"SmpteNoTicks", WithByte(WithByte(good, 12, 0xE7), 13, 0), MidiError::kBadHeader},
      {"TrackCut", Bytes(good.begin(), good.end() - 2), MidiError::kTruncated},
      {"TrackSizeTooBig", WithByte(good, 21, static_cast<uint8_t>(good[21] + 1)),
       MidiError::kTruncated},
      {"TrackSizeHuge", WithByte(good, 18, 0x7F), MidiError::kTruncated},
      {"TrackSizeTooSmall", WithByte(good, 21, static_cast<uint8_t>(good[21] - 3)),
       MidiError::kBadChunk},
      {"TrackSizeZero", WithByte(good, 21, 0), MidiError::kBadChunk},
      {"GarbageChunkId", WithByte(good, 14, 0x01), MidiError::kBadChunk},
      {"DataWithoutStatus", OneTrack({0, 60, 100}), MidiError::kBadEvent},
      {"StatusInData", OneTrack({0, 0x90, 0x90, 100}), MidiError::kBadEvent},
      {"SystemCommon", OneTrack({0, 0xF2, 0, 0}), MidiError::kBadEvent},
      {"RealTime", OneTrack({0, 0xF8}), MidiError::kBadEvent},
      {"OverlongDelta", OneTrack({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}),
       MidiError::kBadEvent},
      {"SysexPastEnd", OneTrack({0, 0xF0, 0x7F, 1, 2}), MidiError::kBadChunk},
      {"MetaPastEnd", OneTrack({0, 0xFF, 0x01, 0x40, 'a'}), MidiError::kBadChunk},
      {"MetaTypeHighBit", OneTrack({0, 0xFF, 0x81, 0x00}), MidiError::kBadEvent},
      {"TempoTwoBytes", OneTrack({0, 0xFF, 0x51, 0x02, 1, 2, 0, 0xFF, 0x2F, 0}),
       MidiError::kBadTempo},
      {"TempoZero", OneTrack({0, 0xFF, 0x51, 0x03, 0, 0, 0, 0, 0xFF, 0x2F, 0}),
       MidiError::kBadTempo},
      {"NoEndOfTrack", OneTrack({0, 0x90, 60, 100}), MidiError::kBadChunk},
      {"TooLarge", Bytes(kMaxMidiFileBytes + 1, 0), MidiError::kTooLarge},
  };
  {
    // Slowest tempo, longest delta times: hundreds of hours.
    TrackBuilder t;
    t.Tempo(0, 0xFFFFFF);
    for (int i = 0; i < 16; ++i) t.NoteOn(0x0FFFFFFF, 60);
    t.End();
    cases.push_back({"MoreThanADay", MidiFile(0, 0x7FFF, {t}), MidiError::kTooLong});
  }
  {
    // Weeks of ticks even at the fastest tempo.
    TrackBuilder t;
    t.Tempo(0, 1);
    for (int i = 0; i < 20000; ++i) t.Event(0x0FFFFFFF, {0xFF, 0x01, 0x00});
    t.End();
    cases.push_back({"AbsurdTicks", MidiFile(0, 1, {t}), MidiError::kTooLong});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, MidiBrokenTest, ::testing::ValuesIn(BrokenCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The load limits: events on one tick are summed over the tracks, running
// status counts, and the rate is judged as the song loops.
TEST(MidiFileTest, LoadLimitsCountEveryTrackAndTheLoop) {
  auto burst = [](int notes, uint32_t end_ticks) {
    TrackBuilder t;
    t.NoteOn(0, 0);
    for (int i = 1; i < notes; ++i) t.Event(0, {static_cast<uint8_t>(i % 128), 100});
    t.End(end_ticks);
    return t;
  };
  const struct {
    const char* name;
    Bytes song;
    int64_t densest;
    bool refused;
  } cases[] = {
      {"a chord", MidiFile(0, 96, {burst(40, 96)}), 40, false},
      {"one track at the limit", MidiFile(0, 96, {burst(1024, 96 * 240)}), 1024, false},
      {"one track over it", MidiFile(0, 96, {burst(1025, 96 * 240)}), 1025, true},
      {"two tracks over it together", MidiFile(1, 96, {burst(600, 96 * 240), burst(600, 96)}), 1200,
       true},
      // 500 events every 5 ms loop.
      {"a short loop", MidiFile(0, 96, {burst(500, 1)}), 500, true},
  };
  for (const auto& c : cases) {
    const MidiSummary s = Ok(c.song);
    EXPECT_EQ(s.densest_tick_events, c.densest) << c.name;
    EXPECT_EQ(CheckMidiLoad(s).has_value(), c.refused) << c.name;
  }
  TrackBuilder spread;
  for (int i = 0; i < 100; ++i) spread.NoteOn(1, 60).NoteOff(1, 60);
  const MidiSummary s = Ok(MidiFile(0, 96, {spread.End()}));
  EXPECT_EQ(s.channel_events, 200);
  EXPECT_EQ(s.densest_tick_events, 1);
}

TEST(MidiFileTest, EveryCutOfAGoodFileIsAnError) {
  TrackBuilder conductor, melody;
  conductor.Tempo(0, 400000).Tempo(100, 300000).End();
  melody.Sysex(0, {1, 2, 3}).NoteOn(0, 60).Event(50, {61, 90}).NoteOff(200, 60).End();
  Bytes good = MidiFile(1, 96, {conductor, melody});
  ASSERT_FALSE(ErrorOf(good).has_value());
  for (std::size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_TRUE(ErrorOf(cut).has_value()) << "cut at " << n;
  }
}

}  // namespace
}  // namespace zt
