#include "surface/os/posix_host.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

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
  auto first = std::make_unique<PosixHost>(dir_);
  EXPECT_FALSE(first->PreviousInstance());
  EXPECT_FALSE(first->PreviousInstance());  // asking again keeps the answer
  EXPECT_EQ(first->LockPath(), dir_ + "/zolven-taris.lock");
  {
    PosixHost second(dir_);
    EXPECT_TRUE(second.PreviousInstance());
  }
  first.reset();
  PosixHost third(dir_);
  EXPECT_FALSE(third.PreviousInstance());
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

TEST_F(PosixHostTest, UnusableLockFolderMeansNoPreviousInstance) {
  PosixHost host(dir_ + "/missing/deeper");
  EXPECT_FALSE(host.PreviousInstance());
}

TEST_F(PosixHostTest, TrailingSlashesAreDropped) {
  PosixHost host(dir_ + "//");
  EXPECT_EQ(host.LockPath(), dir_ + "/zolven-taris.lock");
}

TEST_F(PosixHostTest, DefaultFolderPrefersRuntimeDir) {
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  EXPECT_EQ(DefaultLockDir(), dir_);
  setenv("XDG_RUNTIME_DIR", "relative/dir", 1);  // not a usable folder
  EXPECT_NE(DefaultLockDir(), "relative/dir");
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
