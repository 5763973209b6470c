#pragma once
// A small, fast seedable generator for the scene's random choices.
#include <cstdint>
#include <optional>

#include "surface/platform.h"

namespace zt {

class SeededRandom : public Random {
 public:
  // With a fixed seed every run draws the same numbers, Randomize included.
  explicit SeededRandom(Clock& clock, std::optional<uint64_t> fixed_seed = std::nullopt);

  // Uniform in [0, 1) on a grid of 2^-24, so a single holds it exactly.
  float Rnd() override;
  void Randomize() override;

  void Seed(uint64_t seed);

 private:
  uint64_t Next();

  Clock& clock_;
  std::optional<uint64_t> fixed_seed_;
  uint64_t state_[4] = {};
  uint64_t reseeds_ = 0;
};

}  // namespace zt
