#include "surface/mci/midi_file.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace zt {
namespace {

// No delta time may exceed four bytes of seven bits each.
constexpr uint32_t kMaxVarLenBytes = 4;
// A tick count beyond this cannot fit in a day at any legal tempo and division
// (one microsecond per quarter note, 32767 ticks per quarter).
constexpr uint64_t kMaxTicks = uint64_t{1} << 52;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note

struct TempoChange {
  uint64_t tick = 0;
  uint32_t tempo = 0;
};

struct Track {
  uint64_t end_tick = 0;
  int64_t channel_events = 0;
  int64_t densest_tick = 0;         // most channel events on one tick
  std::vector<TempoChange> tempos;  // in file order, so ticks never decrease
};

// Reads big-endian numbers and variable-length quantities without ever
// stepping past `end_`.
class Reader {
 public:
  Reader(std::span<const uint8_t> bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), pos_(begin), end_(end) {}

  bool AtEnd() const { return pos_ >= end_; }
  std::size_t Remaining() const { return end_ - pos_; }
  std::size_t Position() const { return pos_; }

  std::optional<uint8_t> Byte() {
    if (pos_ >= end_) return std::nullopt;
    return bytes_[pos_++];
  }
  std::optional<uint32_t> Be(int count) {
    if (Remaining() < static_cast<std::size_t>(count)) return std::nullopt;
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = (v << 8) | bytes_[pos_++];
    return v;
  }
  // nullopt with `overlong` false means the data ended inside the number.
  std::optional<uint32_t> VarLen(bool& overlong) {
    overlong = false;
    uint32_t v = 0;
    for (uint32_t i = 0; i < kMaxVarLenBytes; ++i) {
      std::optional<uint8_t> b = Byte();
      if (!b) return std::nullopt;
      v = (v << 7) | (*b & 0x7Fu);
      if ((*b & 0x80u) == 0) return v;
    }
    overlong = true;
    return std::nullopt;
  }
  bool Skip(std::size_t count) {
    if (Remaining() < count) return false;
    pos_ += count;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t pos_;
  std::size_t end_;
};

// Channel messages carry one data byte for program change and channel
// pressure, two for every other kind.
int DataBytesFor(uint8_t status) {
  uint8_t kind = status & 0xF0u;
  return (kind == 0xC0u || kind == 0xD0u) ? 1 : 2;
}

bool IsChunkId(std::span<const uint8_t> id) {
  return std::all_of(id.begin(), id.end(), [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

std::variant<Track, MidiError> ReadTrack(std::span<const uint8_t> bytes, std::size_t begin,
                                         std::size_t end) {
  Reader r(bytes, begin, end);
  Track track;
  uint64_t tick = 0;
  uint8_t running = 0;
  int64_t on_this_tick = 0;
  auto count_channel_event = [&] {
    ++track.channel_events;
    track.densest_tick = std::max(track.densest_tick, ++on_this_tick);
  };
  for (;;) {
    if (r.AtEnd()) return MidiError::kBadChunk;  // the track stops without its end marker
    bool overlong = false;
    std::optional<uint32_t> delta = r.VarLen(overlong);
    if (!delta) return overlong ? MidiError::kBadEvent : MidiError::kBadChunk;
    tick += *delta;
    if (tick > kMaxTicks) return MidiError::kTooLong;
    if (*delta != 0) on_this_tick = 0;

    std::optional<uint8_t> status = r.Byte();
    if (!status) return MidiError::kBadChunk;
    if (*status < 0x80u) {
      if (running == 0) return MidiError::kBadEvent;  // data byte with no status to repeat
      int more = DataBytesFor(running) - 1;
      for (int i = 0; i < more; ++i) {
        std::optional<uint8_t> d = r.Byte();
        if (!d) return MidiError::kBadChunk;
        if (*d >= 0x80u) return MidiError::kBadEvent;
      }
      count_channel_event();
    } else if (*status < 0xF0u) {
      running = *status;
      for (int i = 0; i < DataBytesFor(running); ++i) {
        std::optional<uint8_t> d = r.Byte();
        if (!d) return MidiError::kBadChunk;
        if (*d >= 0x80u) return MidiError::kBadEvent;
      }
      count_channel_event();
    } else if (*status == 0xF0u || *status == 0xF7u) {
      std::optional<uint32_t> len = r.VarLen(overlong);
      if (!len) return overlong ? MidiError::kBadEvent : MidiError::kBadChunk;
      if (!r.Skip(*len)) return MidiError::kBadChunk;
    } else if (*status == 0xFFu) {
      std::optional<uint8_t> type = r.Byte();
      if (!type) return MidiError::kBadChunk;
      if (*type >= 0x80u) return MidiError::kBadEvent;
      std::optional<uint32_t> len = r.VarLen(overlong);
      if (!len) return overlong ? MidiError::kBadEvent : MidiError::kBadChunk;
      if (r.Remaining() < *len) return MidiError::kBadChunk;
      if (*type == 0x51u) {
        if (*len != 3) return MidiError::kBadTempo;
        uint32_t tempo = *r.Be(3);
        if (tempo == 0) return MidiError::kBadTempo;
        track.tempos.push_back({tick, tempo});
      } else {
        r.Skip(*len);
        if (*type == 0x2Fu) break;  // end of track; anything after it is padding
      }
    } else {
      return MidiError::kBadEvent;  // real-time and common messages have no place in a file
    }
  }
  track.end_tick = tick;
  return track;
}

// Microseconds from tick 0 to `end_tick` under the given tempo changes,
// which must be ordered by tick. Gives up as soon as the limit is passed.
std::optional<double> TicksToMicros(uint64_t end_tick, const std::vector<TempoChange>& tempos,
                                    double ticks_per_quarter) {
  constexpr double kLimitUs = static_cast<double>(kMaxMidiLengthMs) * 1000.0;
  double us = 0;
  uint64_t last_tick = 0;
  double tempo = kDefaultTempo;
  for (const TempoChange& t : tempos) {
    if (t.tick >= end_tick) break;
    us += static_cast<double>(t.tick - last_tick) * tempo / ticks_per_quarter;
    if (us > kLimitUs) return std::nullopt;
    last_tick = t.tick;
    tempo = t.tempo;
  }
  us += static_cast<double>(end_tick - last_tick) * tempo / ticks_per_quarter;
  if (us > kLimitUs) return std::nullopt;
  return us;
}

}  // namespace

std::string_view MidiErrorName(MidiError error) {
  switch (error) {
    case MidiError::kTooLarge:
      return "file too large";
    case MidiError::kNotMidi:
      return "not a MIDI file";
    case MidiError::kBadHeader:
      return "bad header";
    case MidiError::kNoTracks:
      return "no tracks";
    case MidiError::kTruncated:
      return "truncated";
    case MidiError::kBadChunk:
      return "bad chunk size";
    case MidiError::kBadEvent:
      return "bad event";
    case MidiError::kBadTempo:
      return "bad tempo";
    case MidiError::kTooLong:
      return "song too long";
    case MidiError::kTooDense:
      return "too many events at once";
  }
  return "unknown";
}

MidiResult ReadMidiFile(std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxMidiFileBytes) return MidiError::kTooLarge;
  static constexpr uint8_t kHeaderId[4] = {'M', 'T', 'h', 'd'};
  if (bytes.size() < 4 || !std::equal(kHeaderId, kHeaderId + 4, bytes.begin())) {
    return MidiError::kNotMidi;
  }
  Reader head(bytes, 4, bytes.size());
  std::optional<uint32_t> header_len = head.Be(4);
  if (!header_len) return MidiError::kTruncated;
  if (*header_len < 6) return MidiError::kBadHeader;
  if (head.Remaining() < *header_len) return MidiError::kTruncated;
  uint32_t format = *head.Be(2);
  uint32_t track_count = *head.Be(2);
  uint32_t division = *head.Be(2);
  if (format > 2) return MidiError::kBadHeader;
  if (track_count == 0) return MidiError::kNoTracks;
  if (format == 0 && track_count != 1) return MidiError::kBadHeader;

  // Ticks per quarter note, or a fixed tick length in SMPTE time.
  double ticks_per_quarter = 0;
  double smpte_ticks_per_second = 0;
  if (division & 0x8000u) {
    int fps = -static_cast<int8_t>(division >> 8);
    uint32_t ticks_per_frame = division & 0xFFu;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticks_per_frame == 0) {
      return MidiError::kBadHeader;
    }
    double frames = fps == 29 ? 30000.0 / 1001.0 : fps;
    smpte_ticks_per_second = frames * ticks_per_frame;
  } else {
    if (division == 0) return MidiError::kBadHeader;
    ticks_per_quarter = division;
  }

  std::vector<Track> tracks;
  std::size_t pos = 8 + static_cast<std::size_t>(*header_len);
  while (tracks.size() < track_count) {
    Reader chunk(bytes, pos, bytes.size());
    if (chunk.Remaining() < 8) return MidiError::kTruncated;
    std::span<const uint8_t> id = bytes.subspan(pos, 4);
    if (!IsChunkId(id)) return MidiError::kBadChunk;
    chunk.Skip(4);
    uint32_t len = *chunk.Be(4);
    if (chunk.Remaining() < len) return MidiError::kTruncated;
    std::size_t body = chunk.Position();
    static constexpr uint8_t kTrackId[4] = {'M', 'T', 'r', 'k'};
    if (std::equal(kTrackId, kTrackId + 4, id.begin())) {
      std::variant<Track, MidiError> t = ReadTrack(bytes, body, body + len);
      if (const MidiError* e = std::get_if<MidiError>(&t)) return *e;
      tracks.push_back(std::move(std::get<Track>(t)));
    }
    pos = body + len;  // chunks of other kinds are skipped
  }

  MidiSummary summary;
  summary.format = static_cast<uint16_t>(format);
  summary.track_count = static_cast<uint16_t>(tracks.size());
  for (const Track& t : tracks) {
    summary.channel_events += t.channel_events;
    summary.densest_tick_events += t.densest_tick;
  }
  double us = 0;
  if (smpte_ticks_per_second > 0) {
    // Tempo changes do not matter in SMPTE time.
    uint64_t ticks = 0;
    for (const Track& t : tracks) {
      ticks = format == 2 ? ticks + t.end_tick : std::max(ticks, t.end_tick);
      if (ticks > kMaxTicks) return MidiError::kTooLong;
    }
    summary.end_tick = static_cast<int64_t>(ticks);
    us = static_cast<double>(ticks) * 1e6 / smpte_ticks_per_second;
  } else if (format == 2) {
    // Independent sequences, played one after the other, each with its own tempo.
    for (const Track& t : tracks) {
      std::optional<double> part = TicksToMicros(t.end_tick, t.tempos, ticks_per_quarter);
      if (!part) return MidiError::kTooLong;
      us += *part;
      summary.end_tick += static_cast<int64_t>(t.end_tick);
    }
  } else {
    // One tempo map for all tracks, wherever its changes are stored.
    uint64_t end_tick = 0;
    std::vector<TempoChange> tempos;
    for (const Track& t : tracks) {
      end_tick = std::max(end_tick, t.end_tick);
      tempos.insert(tempos.end(), t.tempos.begin(), t.tempos.end());
    }
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    std::optional<double> total = TicksToMicros(end_tick, tempos, ticks_per_quarter);
    if (!total) return MidiError::kTooLong;
    us = *total;
    summary.end_tick = static_cast<int64_t>(end_tick);
  }
  double ms = std::round(us / 1000.0);
  if (!(ms <= static_cast<double>(kMaxMidiLengthMs))) return MidiError::kTooLong;
  summary.length_ms = static_cast<int64_t>(ms);
  return summary;
}

std::optional<MidiError> CheckMidiLoad(const MidiSummary& summary) {
  if (summary.densest_tick_events > kMaxMidiTickEvents) return MidiError::kTooDense;
  // Per millisecond, so a song of a few milliseconds is judged as it loops.
  const int64_t ms = std::max<int64_t>(summary.length_ms, 1);
  if (summary.channel_events * 1000 > kMaxMidiEventsPerSecond * ms) return MidiError::kTooDense;
  return std::nullopt;
}

}  // namespace zt
