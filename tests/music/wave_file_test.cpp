// The wave header check that comes before any decoding.
#include "surface/mci/wave_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt {
namespace {

using Bytes = std::vector<uint8_t>;

struct Header {
  uint16_t tag = 1, channels = 2, bits = 16;
  uint32_t rate = 44100;
  uint32_t data = 1000;
  bool extra_chunk = false;  // an odd-sized LIST chunk before the format
};

Bytes Make(const Header& h) {
  Bytes out;
  auto str = [&out](const char* s) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(s[i]));
  };
  auto le = [&out](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  str("RIFF");
  le(36 + h.data, 4);
  str("WAVE");
  if (h.extra_chunk) {
    str("LIST");
    le(3, 4);
    out.insert(out.end(), {'a', 'b', 'c', 0});  // padded to an even size
  }
  str("fmt ");
  le(16, 4);
  le(h.tag, 2);
  le(h.channels, 2);
  le(h.rate, 4);
  le(h.rate * h.channels * h.bits / 8, 4);
  le(h.channels * h.bits / 8, 2);
  le(h.bits, 2);
  str("data");
  le(h.data, 4);
  return out;
}

TEST(WaveFileTest, AcceptsPlainWavesAndRefusesTheRest) {
  const struct {
    const char* name;
    Header header;
    bool accepted;
  } cases[] = {
      {"CD quality", {}, true},
      {"8-bit mono 8 kHz", {1, 1, 8, 8000}, true},
      {"float, 8 channels, 192 kHz", {3, 8, 32, 192000}, true},
      {"after another chunk", {.extra_chunk = true}, true},
      {"a gigabyte of data streams", {.data = 1u << 30}, true},
      {"one hertz", {.rate = 1}, false},
      {"above 192 kHz", {.rate = 384000}, false},
      {"no channels", {.channels = 0}, false},
      {"nine channels", {.channels = 9}, false},
      {"4-bit ADPCM", {.tag = 2, .bits = 4}, false},
      {"12 bits", {.bits = 12}, false},
  };
  for (const auto& c : cases) {
    const auto format = ReadWaveHeader(Make(c.header));
    EXPECT_EQ(format.has_value(), c.accepted) << c.name;
    if (format) {
      EXPECT_EQ(format->sample_rate, c.header.rate) << c.name;
    }
  }
}

TEST(WaveFileTest, BrokenHeadersAreRefused) {
  const Bytes good = Make({});
  Bytes midi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
  Bytes no_format = good;
  no_format[12] = 'x';  // the format chunk is unknown: data comes first
  Bytes huge_chunk = Make({.extra_chunk = true});
  huge_chunk[16] = 0xFF;  // the LIST chunk claims more than there is
  huge_chunk[19] = 0x7F;
  for (const Bytes& bytes :
       {Bytes{}, midi, Bytes(good.begin(), good.begin() + 30), no_format, huge_chunk}) {
    EXPECT_FALSE(ReadWaveHeader(bytes).has_value());
  }
  // Every cut of a good header before its data chunk is complete.
  for (std::size_t n = 0; n + 1 < good.size(); ++n) {
    EXPECT_FALSE(ReadWaveHeader(Bytes(good.begin(), good.begin() + static_cast<long>(n)))) << n;
  }
}

}  // namespace
}  // namespace zt
