#include "surface/x11/x11_pixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace zt {
namespace {

VisualFacts Visual(int32_t depth, int32_t bpp, uint32_t r, uint32_t g, uint32_t b,
                   bool msb = false) {
  VisualFacts v;
  v.depth = depth;
  v.bits_per_pixel = bpp;
  v.red_mask = r;
  v.green_mask = g;
  v.blue_mask = b;
  v.msb_first = msb;
  return v;
}

PixelLayout LayoutOf(const VisualFacts& v) {
  std::string error;
  const auto layout = MakePixelLayout(v, error);
  EXPECT_TRUE(layout.has_value()) << error;
  return layout.value_or(PixelLayout{});
}

std::vector<uint8_t> Convert(const PixelLayout& layout, std::vector<uint32_t> xrgb) {
  std::vector<uint8_t> out(xrgb.size() * static_cast<size_t>(layout.bytes_per_pixel), 0xEE);
  ConvertXrgbRowToPixels(xrgb.data(), static_cast<int32_t>(xrgb.size()), layout, out.data());
  return out;
}

struct PackCase {
  const char* name;
  VisualFacts visual;
  uint32_t xrgb;
  uint32_t pixel;
};

class PackPixelTest : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackPixelTest, PacksChannelsIntoTheVisualsMasks) {
  const PackCase& c = GetParam();
  EXPECT_EQ(PackPixel(LayoutOf(c.visual), c.xrgb), c.pixel);
}

INSTANTIATE_TEST_SUITE_P(
    Visuals, PackPixelTest,
    ::testing::Values(
        PackCase{"rgb888", Visual(24, 32, 0xFF0000, 0xFF00, 0xFF), 0x123456, 0x123456},
        // Red and blue swapped places.
        PackCase{"bgr888", Visual(24, 32, 0xFF, 0xFF00, 0xFF0000), 0x123456, 0x563412},
        // 5-6-5: the low bits of each channel are dropped.
        PackCase{"rgb565_white", Visual(16, 16, 0xF800, 0x07E0, 0x001F), 0xFFFFFF, 0xFFFF},
        PackCase{"rgb565_mixed", Visual(16, 16, 0xF800, 0x07E0, 0x001F), 0x8040C0,
                 (0x10u << 11) | (0x10u << 5) | 0x18u},
        PackCase{"rgb555", Visual(15, 16, 0x7C00, 0x03E0, 0x001F), 0xFF0008, 0x7C01},
        // A depth-32 visual with alpha: the alpha byte is always set.
        PackCase{"argb8888", Visual(32, 32, 0xFF0000, 0xFF00, 0xFF), 0x000000, 0xFF000000},
        // 10 bits a channel: 255 must stay full scale, 0x80 maps to 0x202.
        PackCase{"rgb101010_white", Visual(30, 32, 0x3FF00000, 0xFFC00, 0x3FF), 0xFFFFFF,
                 0x3FFFFFFF},
        PackCase{"rgb101010_mid", Visual(30, 32, 0x3FF00000, 0xFFC00, 0x3FF), 0x000080, 0x202}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertXrgbRowToPixelsTest, WritesBytesInTheImagesByteOrder) {
  const std::vector<uint32_t> row = {0x112233, 0xA0B0C0};
  EXPECT_EQ(Convert(LayoutOf(Visual(24, 32, 0xFF0000, 0xFF00, 0xFF)), row),
            (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x00, 0xC0, 0xB0, 0xA0, 0x00}));
  EXPECT_EQ(Convert(LayoutOf(Visual(24, 32, 0xFF0000, 0xFF00, 0xFF, true)), row),
            (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33, 0x00, 0xA0, 0xB0, 0xC0}));
  // Three bytes a pixel, packed without padding.
  EXPECT_EQ(Convert(LayoutOf(Visual(24, 24, 0xFF0000, 0xFF00, 0xFF)), row),
            (std::vector<uint8_t>{0x33, 0x22, 0x11, 0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(Convert(LayoutOf(Visual(16, 16, 0xF800, 0x07E0, 0x001F, true)), {0xFF0000}),
            (std::vector<uint8_t>{0xF8, 0x00}));
}

TEST(ConvertXrgbRowToPixelsTest, IgnoresBitsAboveTheColourAndSetsAlpha) {
  // Cells may carry stray high bits; they must not leak into the pixel.
  EXPECT_EQ(Convert(LayoutOf(Visual(24, 32, 0xFF0000, 0xFF00, 0xFF)), {0xAB010203}),
            (std::vector<uint8_t>{0x03, 0x02, 0x01, 0x00}));
  EXPECT_EQ(Convert(LayoutOf(Visual(32, 32, 0xFF0000, 0xFF00, 0xFF)), {0x00010203}),
            (std::vector<uint8_t>{0x03, 0x02, 0x01, 0xFF}));
}

TEST(ConvertXrgbRowToPixelsTest, FastPathAgreesWithPackPixel) {
  const PixelLayout layout = LayoutOf(Visual(24, 32, 0xFF0000, 0xFF00, 0xFF));
  std::vector<uint32_t> row;
  for (uint32_t i = 0; i < 4096; ++i) row.push_back(i * 0x010307u);
  const std::vector<uint8_t> bytes = Convert(layout, row);
  for (size_t i = 0; i < row.size(); ++i) {
    const uint32_t pixel = bytes[4 * i] | (bytes[4 * i + 1] << 8) | (bytes[4 * i + 2] << 16) |
                           (static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
    ASSERT_EQ(pixel, PackPixel(layout, row[i])) << i;
  }
}

struct RejectCase {
  const char* name;
  VisualFacts visual;
  const char* says;
};

class RejectVisualTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectVisualTest, RefusesWithAReason) {
  const RejectCase& c = GetParam();
  std::string error;
  EXPECT_FALSE(MakePixelLayout(c.visual, error).has_value());
  EXPECT_NE(error.find(c.says), std::string::npos) << error;
}

VisualFacts PseudoColor8() {
  VisualFacts v = Visual(8, 8, 0, 0, 0);
  v.true_color = false;
  v.class_name = "PseudoColor";
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Visuals, RejectVisualTest,
    ::testing::Values(
        RejectCase{"pseudocolor", PseudoColor8(), "PseudoColor, depth 8"},
        RejectCase{"depth8_truecolor", Visual(8, 8, 0xE0, 0x1C, 0x03), "15 to 32 bits"},
        RejectCase{"unknown_bpp", Visual(24, 0, 0xFF0000, 0xFF00, 0xFF), "0 bits per pixel"},
        RejectCase{"split_mask", Visual(24, 32, 0xF0F000, 0xF00, 0xFF), "masks"},
        RejectCase{"overlapping", Visual(24, 32, 0xFFFF00, 0xFF00, 0xFF), "masks"},
        RejectCase{"no_blue", Visual(24, 32, 0xFF0000, 0xFF00, 0), "masks"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zt
