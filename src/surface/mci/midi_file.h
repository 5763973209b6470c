#pragma once
// A defensive reader of Standard MIDI Files that finds how long a song plays.
// It trusts nothing in the file: every length is checked against the bytes
// that are really there, and the work done is bounded by the file's size.
#include <cstddef>
#include <cstdint>
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
};

std::string_view MidiErrorName(MidiError error);

struct MidiSummary {
  uint16_t format = 0;       // 0, 1 or 2
  uint16_t track_count = 0;  // tracks read
  int64_t end_tick = 0;      // last tick of the longest track (format 0 and 1)
  int64_t length_ms = 0;     // playing time, rounded to the nearest millisecond
};

using MidiResult = std::variant<MidiSummary, MidiError>;

// Files larger than this are refused before anything else is looked at.
inline constexpr std::size_t kMaxMidiFileBytes = 16u << 20;
// Songs longer than this are treated as broken.
inline constexpr int64_t kMaxMidiLengthMs = 24LL * 60 * 60 * 1000;

MidiResult ReadMidiFile(std::span<const uint8_t> bytes);

}  // namespace zt
