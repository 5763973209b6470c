#include "surface/dpi/dpi.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace zt {
namespace {

TEST(DpiRule, ResourceThenScreenSizeThenFifteen) {
  struct Case {
    std::optional<std::string_view> xft_dpi;
    int32_t width_px, width_mm;
    double twips;
  };
  const Case cases[] = {
      {"144", 1024, 271, 10},      // the resource wins over the size (96 dpi)
      {" 120.0 ", 1024, 271, 12},  // blanks and a fraction are fine
      {"96", 0, 0, 15},
      {"100", 1024, 271, 14},         // 14.4 rounds down
      {std::nullopt, 1024, 271, 15},  // 96 dpi from 1024 px in 271 mm
      {std::nullopt, 2048, 271, 8},   // 192 dpi: 7.5 rounds to even
      {"garbage", 2048, 271, 8},      // an unusable resource falls back to the size
      {"5000", 2048, 271, 8},
      {"0", 1024, 271, 15},
      {std::nullopt, 1024, 0, 15},     // a server that reports no size
      {std::nullopt, 1024, 1, 15},     // 26000 dpi is not believable
      {std::nullopt, 1024, 2000, 15},  // nor 13 dpi
      {"nan", 0, 0, 15},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwipsPerPixelFromServer(c.xft_dpi, c.width_px, c.width_mm), c.twips)
        << (c.xft_dpi ? *c.xft_dpi : "(none)") << " " << c.width_px << "/" << c.width_mm;
  }
}

}  // namespace
}  // namespace zt
