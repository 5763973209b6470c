// The PNG writer's own encoder: what it writes must decode to the very
// pixels it was given, the same bytes every time, and no file on failure.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "surface/headless/headless.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> DecodeRgb(const std::string& path, png_uint_32& width, png_uint_32& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return {};
  width = image.width;
  height = image.height;
  return pixels;
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A backdrop of repeated rows with a diagonal line over it, as a figure is.
PngPicture Figure(int32_t width, int32_t height, bool indexed) {
  PngPicture p;
  p.width = width;
  p.height = height;
  const size_t channels = indexed ? 1 : 3;
  p.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * channels);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * channels;
      const bool line = x == y % width;
      for (size_t c = 0; c < channels; ++c) {
        p.pixels[at + c] = static_cast<uint8_t>(line ? 250 - c : (y / 7) * 9 + c);
      }
    }
  }
  if (indexed) {
    for (int i = 0; i < 256; ++i) {
      p.colormap.insert(p.colormap.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                           static_cast<uint8_t>(i * 7)});
    }
  }
  return p;
}

struct PngCase {
  int32_t width, height;
  bool indexed;
};

class PngWriterTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngWriterTest, DecodesToTheSamePixelsAndTheSameBytesEveryTime) {
  const PngCase c = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("zt-png-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const PngPicture picture = Figure(c.width, c.height, c.indexed);
  std::string error;
  ASSERT_TRUE(WritePng(picture, (dir / "a.png").string(), error)) << error;
  ASSERT_TRUE(WritePng(picture, (dir / "b.png").string(), error)) << error;
  EXPECT_EQ(Bytes(dir / "a.png"), Bytes(dir / "b.png"));
  EXPECT_FALSE(fs::exists(dir / "a.png.part"));

  png_uint_32 width = 0, height = 0;
  const std::vector<uint8_t> decoded = DecodeRgb((dir / "a.png").string(), width, height);
  EXPECT_EQ(width, static_cast<png_uint_32>(c.width));
  EXPECT_EQ(height, static_cast<png_uint_32>(c.height));
  std::vector<uint8_t> expected;
  if (c.indexed) {
    for (uint8_t index : picture.pixels) {
      expected.insert(expected.end(), picture.colormap.begin() + index * 3,
                      picture.colormap.begin() + index * 3 + 3);
    }
  } else {
    expected = picture.pixels;
  }
  EXPECT_EQ(decoded, expected);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PngWriterTest,
                         ::testing::Values(PngCase{1, 1, false}, PngCase{333, 41, false},
                                           PngCase{64, 64, true}, PngCase{257, 19, true},
                                           // Rows handed to zlib in several slices, and
                                           // a row longer than a slice.
                                           PngCase{700, 300, false}, PngCase{2001, 300, true},
                                           PngCase{90001, 3, false}));

// Half a backdrop and a line of changing colour over it.
void Draw(LayeredCanvas& canvas) {
  const int32_t width = canvas.Width(), height = canvas.Height();
  canvas.SetPersistentDrawing(true);
  canvas.FillRect(RectI{0, 0, width, height / 2}, canvas.CreateSolidBrush(0x804020));
  canvas.SetPersistentDrawing(false);
  canvas.Clear();
  for (int32_t x = 0; x < width; ++x) canvas.SetPixelV(x, (x * 7) % height, 0x10E0F0 + x);
}

// A picture taken into the memory of an earlier one, of another size or
// colour mode, is the picture taken afresh, and holds what is shown.
TEST(TakePictureTest, AReusedPictureEqualsAFreshOne) {
  struct Step {
    int32_t width, height;
    bool palette;
  };
  PngPicture reused;
  for (const Step& step : {Step{97, 61, true}, Step{97, 61, false}, Step{31, 7, false},
                           Step{40, 30, true}, Step{40, 30, true}}) {
    CanvasConfig config;
    config.width = step.width;
    config.height = step.height;
    config.bits_per_pixel = step.palette ? 8 : 32;
    LayeredCanvas canvas(config, nullptr);
    Draw(canvas);
    TakePicture(canvas, reused);
    const PngPicture fresh = TakePicture(canvas);
    const std::string where = std::to_string(step.width) + "x" + std::to_string(step.height);
    EXPECT_EQ(reused.width, fresh.width) << where;
    EXPECT_EQ(reused.height, fresh.height) << where;
    EXPECT_EQ(reused.pixels, fresh.pixels) << where;
    EXPECT_EQ(reused.colormap, fresh.colormap) << where;
    EXPECT_EQ(fresh.colormap.size(), step.palette ? 768u : 0u) << where;
    if (step.palette) continue;
    std::vector<uint8_t> shown;
    for (int32_t y = 0; y < step.height; ++y) {
      for (int32_t x = 0; x < step.width; ++x) {
        const uint32_t c = canvas.ShownColor(x, y);
        shown.insert(shown.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                   static_cast<uint8_t>(c)});
      }
    }
    EXPECT_EQ(fresh.pixels, shown) << where;
  }
}

TEST(PngWriterFailureTest, AFolderThatIsNotThereIsReportedAndLeavesNoFile) {
  const fs::path missing = fs::temp_directory_path() / "zt-png-missing" / "deeper" / "x.png";
  std::string error;
  EXPECT_FALSE(WritePng(Figure(8, 8, false), missing.string(), error));
  EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(missing.parent_path()));
}

}  // namespace
}  // namespace zt
