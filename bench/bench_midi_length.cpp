// How fast the MIDI length reader gets through songs of growing size, and
// through the worst case of a file full of tempo changes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <variant>
#include <vector>

#include "surface/mci/midi_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutBe(Bytes& out, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// `tracks` tracks of `notes` notes each, with running status; every note
// optionally preceded by a tempo change.
Bytes Song(int tracks, int notes, bool tempo_each_note) {
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  PutBe(out, static_cast<uint32_t>(tracks), 2);
  PutBe(out, 480, 2);
  for (int t = 0; t < tracks; ++t) {
    Bytes body = {0x00, 0x90, 60, 100};
    for (int i = 0; i < notes; ++i) {
      if (tempo_each_note) {
        body.insert(body.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, static_cast<uint8_t>(i)});
      }
      body.insert(body.end(), {0x83, 0x60, static_cast<uint8_t>(60 + i % 12), 0});
      body.insert(body.end(), {0x00, static_cast<uint8_t>(60 + (i + 1) % 12), 100});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBe(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

void RunReader(benchmark::State& state, const Bytes& song) {
  for (auto _ : state) {
    zt::MidiResult r = zt::ReadMidiFile(song);
    benchmark::DoNotOptimize(r);
  }
  zt::MidiResult r = zt::ReadMidiFile(song);
  if (std::holds_alternative<zt::MidiError>(r)) state.SkipWithError("song did not parse");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(song.size()));
  state.counters["file_kib"] = static_cast<double>(song.size()) / 1024.0;
}

void BM_TypicalSong(benchmark::State& state) {
  RunReader(state, Song(16, static_cast<int>(state.range(0)), false));
}
BENCHMARK(BM_TypicalSong)->Arg(100)->Arg(1000)->Arg(10000);

void BM_TempoChangeEveryNote(benchmark::State& state) {
  RunReader(state, Song(16, static_cast<int>(state.range(0)), true));
}
BENCHMARK(BM_TempoChangeEveryNote)->Arg(1000)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
