#include "surface/random/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "support/fakes.h"

namespace zt {
namespace {
using test::FakeClock;

std::vector<float> Draw(Random& random, int n) {
  std::vector<float> out;
  for (int i = 0; i < n; ++i) out.push_back(random.Rnd());
  return out;
}

TEST(SeededRandomTest, StaysInRangeOnA24BitGrid) {
  FakeClock clock;
  SeededRandom random(clock, 1234);
  double sum = 0;
  int low = 0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const float r = random.Rnd();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    const float scaled = r * 16777216.0f;
    ASSERT_EQ(scaled, std::floor(scaled)) << r;
    sum += r;
    low += r < 0.1f ? 1 : 0;
  }
  // Uniform: the mean and one decile land where they should.
  EXPECT_NEAR(sum / n, 0.5, 0.01);
  EXPECT_NEAR(static_cast<double>(low) / n, 0.1, 0.01);
}

TEST(SeededRandomTest, SameSeedSameNumbersAndRandomizeRestartsFixedSeed) {
  FakeClock clock;
  SeededRandom a(clock, 42), b(clock, 42), c(clock, 43);
  const std::vector<float> first = Draw(a, 50);
  EXPECT_EQ(first, Draw(b, 50));
  EXPECT_NE(first, Draw(c, 50));
  a.Randomize();
  EXPECT_EQ(first, Draw(a, 50));
}

TEST(SeededRandomTest, RandomizeFollowsTheClock) {
  FakeClock clock;
  SeededRandom random(clock);
  random.Randomize();
  const std::vector<float> at_noon = Draw(random, 20);
  clock.now_ms += 1;
  random.Randomize();
  const std::vector<float> a_bit_later = Draw(random, 20);
  EXPECT_NE(at_noon, a_bit_later);
  // No two values repeat in a short run.
  std::set<float> distinct(at_noon.begin(), at_noon.end());
  EXPECT_EQ(distinct.size(), at_noon.size());
}

}  // namespace
}  // namespace zt
