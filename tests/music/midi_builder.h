#pragma once
// Builds Standard MIDI File bytes for the tests, event by event.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zt::test {

using Bytes = std::vector<uint8_t>;

inline void PutBe(Bytes& out, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PutVarLen(Bytes& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

class TrackBuilder {
 public:
  // Any event: a delta time and the raw bytes that follow it.
  TrackBuilder& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    PutVarLen(data_, delta);
    data_.insert(data_.end(), bytes);
    return *this;
  }
  TrackBuilder& NoteOn(uint32_t delta, uint8_t key, uint8_t channel = 0) {
    return Event(delta, {static_cast<uint8_t>(0x90 | channel), key, 100});
  }
  TrackBuilder& NoteOff(uint32_t delta, uint8_t key, uint8_t channel = 0) {
    return Event(delta, {static_cast<uint8_t>(0x80 | channel), key, 0});
  }
  TrackBuilder& Program(uint32_t delta, uint8_t program, uint8_t channel = 0) {
    return Event(delta, {static_cast<uint8_t>(0xC0 | channel), program});
  }
  TrackBuilder& Tempo(uint32_t delta, uint32_t us_per_quarter) {
    PutVarLen(data_, delta);
    data_.insert(data_.end(), {0xFF, 0x51, 0x03});
    PutBe(data_, us_per_quarter, 3);
    return *this;
  }
  TrackBuilder& Sysex(uint32_t delta, std::initializer_list<uint8_t> body) {
    PutVarLen(data_, delta);
    data_.push_back(0xF0);
    PutVarLen(data_, static_cast<uint32_t>(body.size()));
    data_.insert(data_.end(), body);
    return *this;
  }
  TrackBuilder& End(uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }
  const Bytes& data() const { return data_; }

 private:
  Bytes data_;
};

inline void PutChunk(Bytes& out, const std::string& id, const Bytes& body) {
  out.insert(out.end(), id.begin(), id.end());
  PutBe(out, static_cast<uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
}

inline Bytes MidiFile(uint16_t format, uint16_t division, const std::vector<TrackBuilder>& tracks) {
  Bytes out;
  Bytes header;
  PutBe(header, format, 2);
  PutBe(header, static_cast<uint32_t>(tracks.size()), 2);
  PutBe(header, division, 2);
  PutChunk(out, "MThd", header);
  for (const TrackBuilder& t : tracks) PutChunk(out, "MTrk", t.data());
  return out;
}

// A song that sounds from its first moment: an organ chord held for `ms`
// milliseconds at the default tempo of 120 beats a minute.
inline Bytes HeldChordSong(uint32_t ms) {
  constexpr uint16_t kDivision = 480;  // 480 ticks = 500 ms
  uint32_t ticks = static_cast<uint32_t>(uint64_t{ms} * kDivision / 500);
  TrackBuilder t;
  t.Program(0, 19).NoteOn(0, 60).NoteOn(0, 64).NoteOn(0, 67);
  t.NoteOff(ticks, 60).NoteOff(0, 64).NoteOff(0, 67).End();
  return MidiFile(0, kDivision, {t});
}

}  // namespace zt::test
