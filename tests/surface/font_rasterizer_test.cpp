#include "surface/text/font_rasterizer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "surface/text/bold_smear.h"

namespace zt {
namespace {

const char kMincho[] = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D";  // ＭＳ 明朝

int64_t Ink(const CoverageMask& mask) {
  return std::accumulate(mask.alpha.begin(), mask.alpha.end(), int64_t{0});
}

// Horizontal centre of the ink in the top third: a slanted glyph leans
// right there.
double TopInkCentre(const CoverageMask& mask) {
  double sum = 0, weighted = 0;
  for (int y = 0; y < mask.height / 3; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const double a = mask.alpha[static_cast<size_t>(y) * mask.width + x];
      sum += a;
      weighted += a * x;
    }
  }
  return sum > 0 ? weighted / sum : 0;
}

class FontRasterizerTest : public ::testing::Test {
 protected:
  FontRasterizer fonts_;
};

TEST_F(FontRasterizerTest, MinchoNameFallsBackToAMinchoFace) {
  const auto face = fonts_.Resolve(kMincho, true, true);
  if (!face) GTEST_SKIP() << "no fonts installed";
  if (face->family.find("Mincho") == std::string::npos &&
      face->family.find("Noto Serif CJK") == std::string::npos) {
    GTEST_SKIP() << "no Mincho face installed; got " << face->family;
  }
  EXPECT_FALSE(face->file.empty());
  // The Mincho faces come in one weight and upright only.
  EXPECT_TRUE(face->synth_bold || face->family.find("Noto") != std::string::npos);
  EXPECT_TRUE(face->synth_italic);
}

TEST_F(FontRasterizerTest, ExistingFaceIsUsedAsNamed) {
  const auto face = fonts_.Resolve("DejaVu Sans", false, false);
  if (!face || face->family != "DejaVu Sans") GTEST_SKIP() << "DejaVu Sans not installed";
  EXPECT_FALSE(face->synth_bold);
  EXPECT_FALSE(face->synth_italic);
  const auto bold = fonts_.Resolve("DejaVu Sans", true, false);
  ASSERT_TRUE(bold);
  EXPECT_NE(bold->file, face->file);  // the real bold file, nothing to add
  EXPECT_FALSE(bold->synth_bold);
}

TEST_F(FontRasterizerTest, RendersTheTitle) {
  CoverageMask mask;
  FontRequest request{kMincho, 35, true, true};
  if (!fonts_.Resolve(request.name, true, true)) GTEST_SKIP() << "no fonts installed";
  ASSERT_TRUE(fonts_.Render(request, "ZOLVEN TARIS", mask));
  EXPECT_GT(mask.width, 35 * 5);  // twelve glyphs, each well over a third of the em
  EXPECT_GE(mask.height, 35);
  EXPECT_LT(mask.height, 35 * 2);
  ASSERT_EQ(mask.alpha.size(), static_cast<size_t>(mask.width) * mask.height);
  EXPECT_GT(Ink(mask), 255 * 200);
  EXPECT_TRUE(
      std::any_of(mask.alpha.begin(), mask.alpha.end(), [](uint8_t a) { return a == 255; }));
  EXPECT_TRUE(std::any_of(mask.alpha.begin(), mask.alpha.end(), [](uint8_t a) { return a == 0; }));
}

TEST_F(FontRasterizerTest, StylesAndSizesChangeTheInk) {
  if (!fonts_.Resolve(kMincho, false, false)) GTEST_SKIP() << "no fonts installed";
  CoverageMask plain, bold, italic, big;
  ASSERT_TRUE(fonts_.Render({kMincho, 40, false, false}, "I", plain));
  ASSERT_TRUE(fonts_.Render({kMincho, 40, true, false}, "I", bold));
  ASSERT_TRUE(fonts_.Render({kMincho, 40, false, true}, "I", italic));
  ASSERT_TRUE(fonts_.Render({kMincho, 80, false, false}, "I", big));
  EXPECT_GT(Ink(bold), Ink(plain) * 11 / 10);
  EXPECT_GT(TopInkCentre(italic), TopInkCentre(plain) + 1.0);
  EXPECT_GT(big.height, plain.height * 3 / 2);
  EXPECT_GT(Ink(big), Ink(plain) * 3);
}

TEST_F(FontRasterizerTest, KeepsOnlyAFewFontsOpen) {
  auto open_files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto files_before = open_files();
  FontRasterizer small(2);
  if (!small.Resolve(kMincho, false, false)) GTEST_SKIP() << "no fonts installed";
  CoverageMask mask;
  for (int size = 10; size < 20; ++size) {
    ASSERT_TRUE(small.Render({kMincho, size, false, false}, "x", mask));
  }
  EXPECT_EQ(small.OpenFontCount(), 2u);
  // Each open face reads its file; an evicted one closes it.
  EXPECT_LE(open_files(), files_before + 2);
  // A font evicted and opened again renders the same.
  CoverageMask again;
  ASSERT_TRUE(small.Render({kMincho, 10, false, false}, "x", again));
  CoverageMask fresh;
  FontRasterizer other;
  ASSERT_TRUE(other.Render({kMincho, 10, false, false}, "x", fresh));
  EXPECT_EQ(again.alpha, fresh.alpha);
}

// Glyphs a font made before are used again: a line drawn after other
// styles, sizes and more distinct glyphs than a font keeps is the line a
// fresh rasteriser draws.
TEST_F(FontRasterizerTest, ALineDrawnAgainIsTheSame) {
  const FontRequest request{kMincho, 24, true, true};
  const std::string line = "12:34:56 AVAWAY fi";
  std::string many;  // kanji: well over the glyphs a font keeps
  for (char32_t c = 0x4E00; c < 0x4E00 + 700; ++c) {
    many += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<char>(0x80 | (c & 0x3F))};
  }
  CoverageMask first, mask, fresh;
  ASSERT_TRUE(fonts_.Render(request, line, first));
  ASSERT_TRUE(fonts_.Render({kMincho, 24, false, false}, line, mask));
  ASSERT_TRUE(fonts_.Render(request, "0987 WAVE", mask));
  ASSERT_TRUE(fonts_.Render(request, line, mask));
  EXPECT_EQ(mask.alpha, first.alpha);
  ASSERT_TRUE(fonts_.Render(request, many, mask));
  ASSERT_TRUE(fonts_.Render(request, line, mask));
  FontRasterizer other;
  ASSERT_TRUE(other.Render(request, line, fresh));
  EXPECT_EQ(mask.width, fresh.width);
  EXPECT_EQ(mask.alpha, fresh.alpha);
  EXPECT_EQ(first.alpha, fresh.alpha);
}

TEST_F(FontRasterizerTest, NothingToDrawIsNoSuccess) {
  CoverageMask mask;
  EXPECT_FALSE(fonts_.Render({kMincho, 20, false, false}, "", mask));
  EXPECT_FALSE(fonts_.Render({kMincho, 0, false, false}, "A", mask));
}

// The bold smear, against the plain rule: each pass, every cell but the
// first gains what its left neighbour held before the pass, up to 255.
TEST(BoldSmearTest, MatchesTheCellByCellRule) {
  std::mt19937 random(7);
  // Widths either side of the 16-cell chunks, and rows that saturate.
  for (int width : {0, 1, 2, 15, 16, 17, 18, 31, 33, 64, 100}) {
    for (int passes : {0, 1, 3, 12}) {
      for (int top : {40, 255}) {
        std::vector<uint8_t> row(static_cast<size_t>(width));
        for (uint8_t& cell : row) cell = static_cast<uint8_t>(random() % (top + 1));
        std::vector<uint8_t> expected = row;
        for (int pass = 0; pass < passes; ++pass) {
          const std::vector<uint8_t> before = expected;
          for (int x = 1; x < width; ++x) expected[x] = std::min(255, before[x] + before[x - 1]);
        }
        SmearBold(row.data(), width, passes);
        EXPECT_EQ(row, expected) << "width " << width << ", passes " << passes << ", top " << top;
      }
    }
  }
}

TEST(FontRasterizerEmptyConfigTest, NoFontsMeansNoTextAndNoCrash) {
  char dir_pattern[] = "/tmp/zt-fc-XXXXXX";
  ASSERT_NE(mkdtemp(dir_pattern), nullptr);
  const std::string dir = dir_pattern;
  const std::string config = dir + "/fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                        << "<fontconfig><cachedir>" << dir << "</cachedir></fontconfig>\n";
  const char* old = std::getenv("FONTCONFIG_FILE");
  const std::string saved = old ? old : "";
  setenv("FONTCONFIG_FILE", config.c_str(), 1);
  {
    FontRasterizer fonts;
    CoverageMask mask;
    EXPECT_FALSE(fonts.Resolve(kMincho, true, true).has_value());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fonts.Render({kMincho, 20, true, true}, "ZOLVEN TARIS", mask));
    EXPECT_FALSE(fonts.Render({kMincho, 20, true, true}, "again", mask));
    const std::string said = testing::internal::GetCapturedStderr();
    // One line, however often it is asked.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
  if (old) {
    setenv("FONTCONFIG_FILE", saved.c_str(), 1);
  } else {
    unsetenv("FONTCONFIG_FILE");
  }
  std::remove(config.c_str());
  rmdir(dir.c_str());
}

}  // namespace
}  // namespace zt
