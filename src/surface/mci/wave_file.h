#pragma once
// The header of a wave file, checked before any decoder sees the file: a
// decoder chosen by content would turn anything (a MIDI song, a one-hertz
// recording) into gigabytes of samples.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zt {

struct WaveFormat {
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits_per_sample = 0;
};

// The header must lie in this many leading bytes.
inline constexpr std::size_t kWaveHeaderBytes = 64 * 1024;
inline constexpr uint32_t kMinWaveRate = 8000;
inline constexpr uint32_t kMaxWaveRate = 192000;
inline constexpr uint16_t kMaxWaveChannels = 8;

// A RIFF WAVE file of PCM or floating-point samples (8, 16, 24 or 32 bits,
// 1 to 8 channels, 8 to 192 kHz) whose data chunk starts within `head`;
// nothing for anything else.
std::optional<WaveFormat> ReadWaveHeader(std::span<const uint8_t> head);

}  // namespace zt
