// Any bytes at all as a wave file's head: the check answers without reading
// past them, and what it accepts is within its own limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "surface/mci/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto format = zt::ReadWaveHeader(std::span<const uint8_t>(data, size));
  if (format &&
      (format->channels == 0 || format->channels > zt::kMaxWaveChannels ||
       format->sample_rate < zt::kMinWaveRate || format->sample_rate > zt::kMaxWaveRate)) {
    std::abort();
  }
  return 0;
}
