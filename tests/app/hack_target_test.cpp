#include "app/runner/hack_target.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

struct IdCase {
  const char* text;
  std::optional<uint64_t> id;
};

class ParseXWindowIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(ParseXWindowIdTest, ReadsDecimalAndHex) {
  EXPECT_EQ(ParseXWindowId(GetParam().text), GetParam().id) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseXWindowIdTest,
    ::testing::Values(IdCase{"0x1a00003", 0x1a00003}, IdCase{"0X1A00003", 0x1a00003},
                      IdCase{"27262979", 27262979}, IdCase{" 0x400001\n", 0x400001},
                      IdCase{"0xFFFFFFFF", 0xFFFFFFFFu}, IdCase{"0x100000000", std::nullopt},
                      IdCase{"0", std::nullopt}, IdCase{"0x0", std::nullopt},
                      IdCase{"0x", std::nullopt}, IdCase{"", std::nullopt},
                      IdCase{"12ab", std::nullopt}, IdCase{"0x12zz", std::nullopt},
                      IdCase{"-5", std::nullopt}, IdCase{"+5", std::nullopt},
                      IdCase{"5 6", std::nullopt}));

Options WithWindowId(std::optional<uint64_t> id) {
  Options o;
  o.root = !id.has_value();
  o.window_id = id;
  return o;
}

TEST(ResolveHackTargetTest, RootFollowsTheDaemonsVariable) {
  std::string error;
  const auto from_env = ResolveHackTarget(WithWindowId(std::nullopt), "0x2c00007", error);
  ASSERT_TRUE(from_env);
  EXPECT_FALSE(from_env->root);
  EXPECT_EQ(from_env->window, 0x2c00007u);

  for (const char* unset : {static_cast<const char*>(nullptr), "", "  "}) {
    const auto root = ResolveHackTarget(WithWindowId(std::nullopt), unset, error);
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->root);
  }
}

TEST(ResolveHackTargetTest, WindowIdWinsOverTheVariable) {
  std::string error;
  const auto target = ResolveHackTarget(WithWindowId(0x123), "0x2c00007", error);
  ASSERT_TRUE(target);
  EXPECT_FALSE(target->root);
  EXPECT_EQ(target->window, 0x123u);
}

TEST(ResolveHackTargetTest, AGarbledVariableIsAnError) {
  std::string error;
  EXPECT_FALSE(ResolveHackTarget(WithWindowId(std::nullopt), "window", error));
  EXPECT_NE(error.find("XSCREENSAVER_WINDOW"), std::string::npos);
  EXPECT_NE(error.find("'window'"), std::string::npos);
}

}  // namespace
}  // namespace zt
