#include "surface/os/posix_host.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zt {
namespace {

namespace fs = std::filesystem;

class PosixHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zt-host-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(PosixHostTest, SecondLockSeesTheFirstUntilItGoes) {
  auto first = std::make_unique<PosixHost>(dir_, ":0");
  EXPECT_FALSE(first->PreviousInstance());
  EXPECT_FALSE(first->PreviousInstance());  // asking again keeps the answer
  EXPECT_EQ(first->LockPath(), dir_ + "/zolven-taris-_0.lock");
  {
    PosixHost second(dir_, ":0.0");  // the same display
    EXPECT_TRUE(second.PreviousInstance());
    PosixHost other_display(dir_, ":1");
    EXPECT_FALSE(other_display.PreviousInstance());
  }
  first.reset();
  PosixHost third(dir_, ":0");
  EXPECT_FALSE(third.PreviousInstance());
}

TEST(LockFileNameTest, OnePerDisplayAndSafeAsAName) {
  EXPECT_EQ(LockFileName(nullptr), "zolven-taris.lock");
  EXPECT_EQ(LockFileName(""), "zolven-taris.lock");
  EXPECT_EQ(LockFileName(":12.1"), "zolven-taris-_12.lock");
  EXPECT_EQ(LockFileName("host.example:3"), "zolven-taris-host.example_3.lock");
  EXPECT_EQ(LockFileName("/../x:1"), "zolven-taris-_.._x_1.lock");
}

// What may stand where the lock goes. None of it is followed, none of it
// stops the program: one line on stderr, and no previous instance.
TEST_F(PosixHostTest, UnsafeLockPlacesAreRefusedWithOneLine) {
  const std::string victim = dir_ + "/victim";
  const std::string lock = "/" + LockFileName(":5");
  struct Case {
    const char* name;
    std::function<std::string()> make;  // returns the lock folder
    uid_t user;
    const char* why;
  };
  const uid_t me = geteuid();
  const std::vector<Case> cases = {
      {"dangling link",
       [&] {
         fs::create_symlink(victim, dir_ + lock);
         return dir_;
       },
       me, "a symbolic link"},
      {"link to a file",
       [&] {
         std::ofstream(victim) << "keep";
         fs::create_symlink(victim, dir_ + lock);
         return dir_;
       },
       me, "a symbolic link"},
      {"fifo",
       [&] {
         mkfifo((dir_ + lock).c_str(), 0600);
         return dir_;
       },
       me, "not a regular file"},
      {"folder others may write",
       [&] {
         chmod(dir_.c_str(), 0777);
         return dir_;
       },
       me, "others may write the folder"},
      {"folder is a link",
       [&] {
         fs::create_directory(dir_ + "/real");
         fs::create_directory_symlink(dir_ + "/real", dir_ + "/link");
         return dir_ + "/link";
       },
       me, "not a folder"},
      {"another user's folder", [&] { return dir_; }, me + 1, "the folder belongs to another user"},
      {"missing folder", [&] { return dir_ + "/missing/deeper"; }, me, "No such file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    const std::string folder = c.make();
    testing::internal::CaptureStderr();
    PosixHost host(folder, ":5", c.user);
    EXPECT_FALSE(host.PreviousInstance());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(c.why), std::string::npos) << err;
    EXPECT_NE(err.find("running without the single-instance check"), std::string::npos) << err;
    std::ifstream planted(victim);
    std::string content;
    planted >> content;
    EXPECT_TRUE(content.empty() || content == "keep") << "the link was followed";
    EXPECT_EQ(fs::exists(dir_ + "/real" + lock), false);
  }
}

TEST_F(PosixHostTest, AnotherProcessSeesTheLock) {
  PosixHost host(dir_);
  ASSERT_FALSE(host.PreviousInstance());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child inherits the descriptor; a fresh host opens its own.
    PosixHost other(dir_);
    _exit(other.PreviousInstance() ? 7 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST_F(PosixHostTest, TrailingSlashesAreDropped) {
  PosixHost host(dir_ + "//", ":0");
  EXPECT_EQ(host.LockPath(), dir_ + "/zolven-taris-_0.lock");
}

TEST_F(PosixHostTest, DefaultFolderPrefersRuntimeDir) {
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  EXPECT_EQ(DefaultLockDir(), dir_);
  setenv("XDG_RUNTIME_DIR", "relative/dir", 1);  // not a usable folder
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
  EXPECT_EQ(fs::path(DefaultLockDir()),
            fs::path(base) / ("zolven-taris-" + std::to_string(geteuid())));
  if (old) {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST_F(PosixHostTest, AppPathIsTheFolderOfThisProgram) {
  PosixHost host(dir_);
  const std::string path = host.AppPath();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.back(), '/');
  EXPECT_EQ(fs::path(path), fs::canonical("/proc/self/exe").parent_path());
}

TEST_F(PosixHostTest, FileExistsOnlyForRegularFiles) {
  PosixHost host(dir_);
  const std::string file = dir_ + "/zt-bgm.wav";
  std::ofstream(file) << "x";
  EXPECT_TRUE(host.FileExists(file));
  EXPECT_FALSE(host.FileExists(dir_));
  EXPECT_FALSE(host.FileExists(dir_ + "/zt-bgm.mid"));
  EXPECT_FALSE(host.FileExists(""));
}

}  // namespace
}  // namespace zt
