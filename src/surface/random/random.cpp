#include "surface/random/random.h"

namespace zt {
namespace {

uint64_t SplitMix64(uint64_t& x) {
  uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

SeededRandom::SeededRandom(Clock& clock, std::optional<uint64_t> fixed_seed)
    : clock_(clock), fixed_seed_(fixed_seed) {
  Seed(fixed_seed_.value_or(0x5A17A2150EC0FFEEULL));
}

void SeededRandom::Seed(uint64_t seed) {
  // xoshiro256** must not start from all zeros; splitmix64 never yields that
  // for four consecutive outputs.
  uint64_t x = seed;
  for (uint64_t& s : state_) s = SplitMix64(x);
}

uint64_t SeededRandom::Next() {
  const uint64_t result = Rotl(state_[1] * 5, 7) * 9;
  const uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = Rotl(state_[3], 45);
  return result;
}

float SeededRandom::Rnd() { return static_cast<float>(Next() >> 40) * (1.0f / 16777216.0f); }

void SeededRandom::Randomize() {
  if (fixed_seed_) {
    Seed(*fixed_seed_);
    return;
  }
  // Two reseeds within the same millisecond still differ.
  const uint64_t ms = static_cast<uint64_t>(clock_.MonotonicMs());
  const uint64_t timer = static_cast<uint64_t>(static_cast<double>(clock_.Timer()) * 1000.0);
  Seed(ms * 0x100000001B3ULL ^ (timer << 20) ^ ++reseeds_);
}

}  // namespace zt
