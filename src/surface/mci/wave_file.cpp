#include "surface/mci/wave_file.h"

#include <algorithm>

namespace zt {
namespace {

uint32_t Le(std::span<const uint8_t> b, std::size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

bool IdIs(std::span<const uint8_t> b, std::size_t at, const char* id) {
  return std::equal(id, id + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

constexpr uint32_t kPcm = 1;
constexpr uint32_t kFloat = 3;
constexpr uint32_t kExtensible = 0xFFFE;

}  // namespace

std::optional<WaveFormat> ReadWaveHeader(std::span<const uint8_t> head) {
  head = head.first(std::min(head.size(), kWaveHeaderBytes));
  if (head.size() < 12 || !IdIs(head, 0, "RIFF") || !IdIs(head, 8, "WAVE")) return std::nullopt;
  std::optional<WaveFormat> format;
  std::size_t pos = 12;
  while (pos + 8 <= head.size()) {
    const uint32_t size = Le(head, pos + 4, 4);
    const std::size_t body = pos + 8;
    if (IdIs(head, pos, "fmt ")) {
      if (size < 16 || body + 16 > head.size()) return std::nullopt;
      const uint32_t tag = Le(head, body, 2);
      WaveFormat f;
      f.channels = static_cast<uint16_t>(Le(head, body + 2, 2));
      f.sample_rate = Le(head, body + 4, 4);
      f.bits_per_sample = static_cast<uint16_t>(Le(head, body + 14, 2));
      const bool known_bits = f.bits_per_sample == 8 || f.bits_per_sample == 16 ||
                              f.bits_per_sample == 24 || f.bits_per_sample == 32;
      if ((tag != kPcm && tag != kFloat && tag != kExtensible) || f.channels == 0 ||
          f.channels > kMaxWaveChannels || f.sample_rate < kMinWaveRate ||
          f.sample_rate > kMaxWaveRate || !known_bits) {
        return std::nullopt;
      }
      format = f;
    } else if (IdIs(head, pos, "data")) {
      return format;  // nothing when the samples come before their format
    }
    // Chunks are padded to an even size.
    pos = body + static_cast<std::size_t>(size) + (size & 1u);
  }
  return std::nullopt;
}

}  // namespace zt
