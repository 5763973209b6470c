// The render mode at odd and extreme sizes, from the smallest it accepts to
// the largest: every figure is drawn without a fault and stays centred.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/runner/render.h"
#include "support/sanitizer.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

using test::kAddressSanitizer;

struct SizeCase {
  int width;
  int height;
  int figures;
};

std::string Name(const ::testing::TestParamInfo<SizeCase>& info) {
  return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
}

long Field(const std::string& line, const std::string& key) {
  std::smatch m;
  const std::regex re("\"" + key + "\":(-?[0-9]+)");
  if (!std::regex_search(line, m, re)) return -999999;
  return std::stol(m[1]);
}

class RenderSizeTest : public ::testing::TestWithParam<SizeCase> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zt-sizes-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            Name({GetParam(), 0}));
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(RenderSizeTest, FiguresAreDrawnAndCentred) {
  const SizeCase c = GetParam();
  // Three images of a full-size layer would be several gigabytes under the
  // sanitizer's shadow memory and take minutes; the normal build draws it.
  if (kAddressSanitizer && static_cast<int64_t>(c.width) * c.height > 8192 * 8192 &&
      std::getenv("ZT_HUGE_UNDER_ASAN") == nullptr) {
    GTEST_SKIP() << "too slow and big under AddressSanitizer; checked in the normal build";
  }
  const ParseResult parsed =
      ParseOptions({"--render", dir_.string(), "--figures", std::to_string(c.figures), "--size",
                    std::to_string(c.width) + "x" + std::to_string(c.height), "--seed", "7",
                    "--no-images", "--start-time", "2026-12-07T23:59:30"});
  ASSERT_EQ(parsed.error, "");
  std::ostringstream err;
  ASSERT_EQ(RunRender(parsed.options, err), 0) << err.str();

  std::ifstream in(dir_ / "figures.jsonl");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), static_cast<size_t>(c.figures));
  for (const std::string& line : lines) {
    SCOPED_TRACE(line.substr(0, 120));
    EXPECT_EQ(Field(line, "width"), c.width);
    EXPECT_EQ(Field(line, "height"), c.height);
    const long steps = Field(line, "steps");
    EXPECT_TRUE(steps == 1201 || steps == 721 || steps == 515) << steps;
    const long min_y = Field(line, "figure_min_y");
    const long max_y = Field(line, "figure_max_y");
    const long offset = Field(line, "figure_offset_y");
    // The measurement starts at the centre row, so the extent holds it; a
    // 16-bit overflow anywhere on the way would break this.
    const long center = (c.height + 1) / 2;
    EXPECT_LE(min_y, center);
    EXPECT_GE(max_y, center);
    EXPECT_LT(max_y - min_y, 2L * c.height) << "extent out of proportion";
    // Shifted by the offset, the free rows above and below differ by at
    // most one.
    const long above = min_y + offset;
    const long below = c.height - (max_y + offset);
    EXPECT_LE(std::labs(above - below), 1) << "above " << above << ", below " << below;
  }
}

INSTANTIATE_TEST_SUITE_P(OddAndExtreme, RenderSizeTest,
                         ::testing::Values(SizeCase{64, 64, 12}, SizeCase{320, 200, 12},
                                           SizeCase{641, 479, 12}, SizeCase{3840, 2160, 2},
                                           SizeCase{7680, 4320, 1}, SizeCase{16384, 16384, 1}),
                         Name);

}  // namespace
}  // namespace zt
