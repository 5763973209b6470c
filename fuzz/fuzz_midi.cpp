// Any bytes at all: the reader must answer with a length or an error, and a
// length must stay within its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "surface/mci/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zt::MidiResult r = zt::ReadMidiFile(std::span<const uint8_t>(data, size));
  if (const auto* s = std::get_if<zt::MidiSummary>(&r)) {
    if (s->length_ms < 0 || s->length_ms > zt::kMaxMidiLengthMs || s->track_count == 0 ||
        s->densest_tick_events > s->channel_events) {
      std::abort();
    }
    zt::CheckMidiLoad(*s);
  }
  return 0;
}
