#pragma once
// What SDL_mixer keeps to itself of the FluidSynth synthesisers it makes for
// MIDI songs. It calls the library's functions for their settings and
// players, and ours come first in its lookup: the settings are set to what
// the program needs, and a song's player can be replaced by a fresh one on
// the same synthesiser, so a song starts over without a second synthesiser
// and its copy of the soundfont's instruments.
#include <cstdint>
#include <span>

struct _fluid_synth_t;
struct _fluid_player_t;

namespace zt {

struct FluidPlayer {
  _fluid_synth_t* synth = nullptr;
  _fluid_player_t* player = nullptr;  // as SDL_mixer knows it
};

// The player made last on this thread, forgotten here: that of the song the
// thread has just loaded, or none if the song is not played by FluidSynth.
FluidPlayer TakeMadeFluidPlayer();

// Gives a halted song a new player of `song` on its synthesiser, with every
// channel reset as in a new synthesiser, so it plays from the start as on
// its first pass. FluidSynth's own seek cannot: a track is not taken back
// while it has played nothing after its first tick. False when no player
// could be made; the song then has none and has to be loaded again.
bool RestartFluidSong(const FluidPlayer& fluid, std::span<const uint8_t> song);

}  // namespace zt
