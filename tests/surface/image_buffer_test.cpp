// Image memory: zeroed at every size, whether it comes from the heap or from
// a mapping of its own with large pages, and freed the way it came.
#include "base/image_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace zt {
namespace {

class ImageBufferTest : public ::testing::TestWithParam<size_t> {};

TEST_P(ImageBufferTest, ZeroedWritableCopiedAndMoved) {
  const size_t count = GetParam();
  ImageBuffer<uint32_t> buffer(count);
  ASSERT_EQ(buffer.size(), count);
  ASSERT_NE(buffer.data(), nullptr);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint32_t v) { return v == 0; }));
  // Every cell is writable, the last one included.
  for (size_t i = 0; i < count; ++i) buffer[i] = static_cast<uint32_t>(i * 2654435761u);
  EXPECT_EQ(buffer[count - 1], static_cast<uint32_t>((count - 1) * 2654435761u));

  ImageBuffer<uint32_t> copy(buffer);
  EXPECT_NE(copy.data(), buffer.data());
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), buffer.begin(), buffer.end()));

  const uint32_t* storage = buffer.data();
  ImageBuffer<uint32_t> moved(std::move(buffer));
  EXPECT_EQ(moved.data(), storage);
  EXPECT_TRUE(buffer.empty());  // the moved-from state is what is checked
  EXPECT_EQ(buffer.data(), nullptr);

  copy = ImageBuffer<uint32_t>();
  EXPECT_TRUE(copy.empty());
  moved = ImageBuffer<uint32_t>(3);
  EXPECT_EQ(moved.size(), 3u);
  EXPECT_EQ(moved[2], 0u);
}

// Small heap blocks, mappings below one large page, and full screens whose
// size is not a whole number of large pages.
INSTANTIATE_TEST_SUITE_P(Sizes, ImageBufferTest,
                         ::testing::Values(size_t{1}, size_t{4097}, size_t{65536}, size_t{65537},
                                           size_t{1921} * 1081, size_t{3841} * 2161));

TEST(ImageBufferTest, EmptyByDefault) {
  const ImageBuffer<int16_t> none;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none.begin(), none.end());
}

}  // namespace
}  // namespace zt
