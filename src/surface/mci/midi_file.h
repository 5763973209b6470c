#pragma once
// A defensive reader of Standard MIDI Files that finds how long a song plays.
// It trusts nothing in the file: every length is checked against the bytes
// that are really there, and the work done is bounded by the file's size.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace zt {

enum class MidiError {
  kTooLarge,   // more bytes than any song we accept
  kNotMidi,    // no "MThd" header at the start
  kBadHeader,  // header too short, unknown format or zero division
  kNoTracks,   // the header announces no track
  kTruncated,  // a chunk or an event runs past the end of the data
  kBadChunk,   // a chunk size that does not match its content
  kBadEvent,   // a status or data byte that cannot be there
  kBadTempo,   // a tempo change that is not three bytes or is zero
  kTooLong,    // the song would play for more than a day
  kTooDense,   // more events at once, or per second, than a synthesiser keeps up with
};

std::string_view MidiErrorName(MidiError error);

struct MidiSummary {
  uint16_t format = 0;         // 0, 1 or 2
  uint16_t track_count = 0;    // tracks read
  int64_t end_tick = 0;        // last tick of the longest track (format 0 and 1)
  int64_t length_ms = 0;       // playing time, rounded to the nearest millisecond
  int64_t channel_events = 0;  // notes, controllers and the like, in all tracks
  // The most channel events one track has on a single tick, summed over the
  // tracks: never less than what the synthesiser gets on its busiest tick.
  int64_t densest_tick_events = 0;
};

using MidiResult = std::variant<MidiSummary, MidiError>;

// Files larger than this are refused before anything else is looked at.
inline constexpr std::size_t kMaxMidiFileBytes = 16u << 20;
// Songs longer than this are treated as broken.
inline constexpr int64_t kMaxMidiLengthMs = 24LL * 60 * 60 * 1000;

// What a synthesiser is asked to play at most: a song over these limits
// makes it render for seconds inside one audio callback and fill the log
// with dropped voices. Real songs stay far below (a few dozen events on a
// tick, a few hundred per second).
inline constexpr int64_t kMaxMidiTickEvents = 1024;
inline constexpr int64_t kMaxMidiEventsPerSecond = 10000;

MidiResult ReadMidiFile(std::span<const uint8_t> bytes);

// kTooDense when a song read by ReadMidiFile breaks one of the limits above.
// The rate counts the song as it loops: events over its length.
std::optional<MidiError> CheckMidiLoad(const MidiSummary& summary);

}  // namespace zt
