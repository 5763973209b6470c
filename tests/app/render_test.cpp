#include "app/runner/render.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/options.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zt-render-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  int Render(const std::vector<std::string>& args, std::string* err_text = nullptr) {
    const ParseResult parsed = ParseOptions(args);
    if (!parsed.error.empty()) {
      if (err_text) *err_text = parsed.error;
      return 2;
    }
    std::ostringstream err;
    const int status = RunRender(parsed.options, err);
    if (err_text) *err_text = err.str();
    return status;
  }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static std::vector<std::string> Lines(const fs::path& p) {
    std::vector<std::string> lines;
    std::ifstream in(p);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static long Field(const std::string& line, const std::string& key) {
    std::smatch m;
    const std::regex re("\"" + key + "\":(-?[0-9]+)");
    if (!std::regex_search(line, m, re)) return -999999;
    return std::stol(m[1]);
  }

  fs::path root_;
};

TEST_F(RenderTest, SameArgumentsGiveByteIdenticalFiles) {
  const std::vector<std::string> common = {
      "--figures", "12", "--size",       "800x600",
      "--seed",    "42", "--start-time", "2026-12-07T23:58:00"};
  auto a = common, b = common;
  a.insert(a.begin(), {"--render", (root_ / "a").string()});
  b.insert(b.begin(), {"--render", (root_ / "b").string()});
  ASSERT_EQ(Render(a), 0);
  ASSERT_EQ(Render(b), 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(root_ / "a")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names.size(), 13u);  // 12 images and the records
  for (const std::string& name : names) {
    EXPECT_EQ(Slurp(root_ / "a" / name), Slurp(root_ / "b" / name)) << name;
  }
  const auto lines = Lines(root_ / "a" / "figures.jsonl");
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_NE(lines[0].find("\"image\":\"figure-0001.png\""), std::string::npos);
}

TEST_F(RenderTest, BackdropsChangeInTheirRhythm) {
  ASSERT_EQ(Render({"--render", root_.string(), "--figures", "30", "--size", "320x200", "--seed",
                    "7", "--no-images", "--start-time", "2026-01-01T08:00:00"}),
            0);
  const auto lines = Lines(root_ / "figures.jsonl");
  ASSERT_EQ(lines.size(), 30u);
  const std::vector<int> column_before = {5, 12, 19, 26};
  const std::vector<int> row_before = {8, 15, 22, 29};
  int kind = 1;
  for (int figure = 1; figure <= 30; ++figure) {
    const std::string& line = lines[figure - 1];
    const bool column = std::count(column_before.begin(), column_before.end(), figure) > 0;
    const bool row = std::count(row_before.begin(), row_before.end(), figure) > 0;
    if (column) kind = 2;
    if (row) kind = 1;
    EXPECT_EQ(Field(line, "backdrop_kind"), kind) << "figure " << figure;
    const bool has_status = line.find("\"status_line\":null") == std::string::npos;
    EXPECT_EQ(has_status, column || row) << "figure " << figure;
    EXPECT_EQ(line.find("\"image\":null") != std::string::npos, true);
    // Spin follows the sweep: slow over rows, fast over columns.
    const long spin = Field(line, "spin_rate");
    if (kind == 1) {
      EXPECT_TRUE(spin >= 1 && spin <= 3) << spin;
    } else {
      EXPECT_TRUE(spin == 4 || spin == 8 || spin == 12) << spin;
    }
    const long steps = Field(line, "steps");
    EXPECT_TRUE(steps == 1201 || steps == 721 || steps == 515) << steps;
  }
  EXPECT_FALSE(fs::exists(root_ / "figure-0001.png"));
}

TEST_F(RenderTest, StatusLinesCountMinutesAcrossMidnights) {
  // About 25 s a figure: 400 figures span hours of virtual time.
  ASSERT_EQ(Render({"--render", root_.string(), "--figures", "400", "--size", "200x150", "--seed",
                    "3", "--no-images", "--start-time", "2026-02-28T23:00:00"}),
            0);
  const auto lines = Lines(root_ / "figures.jsonl");
  ASSERT_EQ(lines.size(), 400u);
  long last = -1;
  int printed = 0;
  const std::regex minutes("Spend (-?[0-9]+) minutes");
  for (const std::string& line : lines) {
    std::smatch m;
    if (!std::regex_search(line, m, minutes)) continue;
    ++printed;
    const long count = std::stol(m[1]);
    EXPECT_GE(count, last);
    last = count;
  }
  EXPECT_GT(printed, 100);
  EXPECT_GT(last, 60 * 2);
  EXPECT_NE(lines.back().find("03-01-2026"), std::string::npos);
}

TEST_F(RenderTest, PaletteModeImagesAreIndexed) {
  ASSERT_EQ(Render({"--render", root_.string(), "--size", "640x480", "--colors", "256", "--seed",
                    "5", "--start-time", "2026-12-07T10:00:00"}),
            0);
  const std::string png = Slurp(root_ / "figure-0001.png");
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(static_cast<unsigned char>(png[24]), 8);  // bit depth
  EXPECT_EQ(static_cast<unsigned char>(png[25]), 3);  // colour type: palette
  EXPECT_NE(png.find("PLTE"), std::string::npos);
  EXPECT_NE(Lines(root_ / "figures.jsonl")[0].find("\"palette_mode\":1"), std::string::npos);
}

TEST_F(RenderTest, BadValuesAreRefusedWithoutLeavingFiles) {
  const std::vector<std::vector<std::string>> bad = {
      {"--render", root_.string(), "--size", "63x64"},
      {"--render", root_.string(), "--size", "16385x100"},
      {"--render", root_.string(), "--figures", "0"},
      {"--render", root_.string(), "--start-time", "2026-02-30T10:00:00"},
      {"--render", root_.string(), "--start-time", "yesterday"},
      {"--render", root_.string(), "--colors", "16"},
  };
  for (const auto& args : bad) {
    std::string err;
    EXPECT_EQ(Render(args, &err), 2) << args[2] << " " << args[3];
    EXPECT_FALSE(err.empty());
  }
  EXPECT_FALSE(fs::exists(root_ / "figures.jsonl"));
  std::string err;
  EXPECT_EQ(Render({"--render", "/proc/zt-cannot-write-here"}, &err), 1);
  EXPECT_NE(err.find("cannot write"), std::string::npos);
  EXPECT_FALSE(fs::exists("figure-0001.png"));  // nothing drawn anywhere else instead
}

// Whatever lies in the output folder, no file is written through a planted
// link, and no half-written or temporary file is left when the run fails.
TEST_F(RenderTest, OutputsAreNeverHijackedNorLeftHalfWritten) {
  const fs::path victim = root_.parent_path() / (root_.filename().string() + "-victim");
  const std::vector<std::string> args = {"--render", root_.string(), "--figures", "2",
                                         "--size",   "64x64",        "--seed",    "3"};
  const struct {
    const char* name;
    std::function<void()> plant;
    std::vector<std::string> extra;
    int status;
    std::vector<std::string> left;  // what the folder holds afterwards
  } cases[] = {
      {"links at the temporary and final names",
       [&] {
         for (const char* f : {"figures.jsonl.part", "figure-0001.png.part", "figure-0002.png"}) {
           fs::create_symlink(victim, root_ / f);
         }
       },
       {},
       0,
       {"figure-0001.png", "figure-0001.png.part", "figure-0002.png", "figures.jsonl",
        "figures.jsonl.part"}},
      {"a folder where figures.jsonl goes",
       [&] { fs::create_directories(root_ / "figures.jsonl" / "x"); },
       {"--no-images"},
       1,
       {"figures.jsonl"}},
      {"interrupted", [] {}, {"--figures", "100000", "--no-images"}, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root_);
    fs::create_directories(root_);
    std::ofstream(victim) << "keep";
    c.plant();
    std::vector<std::string> run = args;
    run.insert(run.end(), c.extra.begin(), c.extra.end());
    std::thread interrupt;
    if (std::string(c.name) == "interrupted") {
      interrupt = std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::kill(::getpid(), SIGINT);
      });
    }
    std::string err;
    EXPECT_EQ(Render(run, &err), c.status) << err;
    if (interrupt.joinable()) interrupt.join();
    EXPECT_EQ(Slurp(victim), "keep");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(root_)) {
      left.push_back(entry.path().filename().string());
      if (c.status == 0 && entry.path().extension() != ".part") {
        EXPECT_TRUE(entry.is_regular_file() && !entry.is_symlink()) << entry.path();
      }
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, c.left);
  }
  fs::remove(victim);
}

}  // namespace
}  // namespace zt
