#pragma once
// The host services on a POSIX system: the single-instance lock, the
// program's folder and the file test.
#include <string>

#include "surface/platform.h"

namespace zt {

// An open file descriptor, closed with its owner.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd();
  int Get() const { return fd_; }
  int Release();
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

class PosixHost : public Host {
 public:
  // `lock_dir` empty: $XDG_RUNTIME_DIR, else the temporary folder.
  explicit PosixHost(std::string lock_dir = {});

  // Takes the instance lock on first use and keeps it for the host's
  // lifetime. True when another process holds it. When the lock file cannot
  // be opened, says so once on stderr and reports no previous instance: the
  // program then runs without the single-instance guarantee.
  bool PreviousInstance() override;
  std::string AppPath() override;
  bool FileExists(const std::string& path) override;

  const std::string& LockPath() const { return lock_path_; }

 private:
  std::string lock_path_;
  UniqueFd lock_fd_;
  bool checked_ = false;
  bool previous_ = false;
};

// The folder the lock file goes into by default.
std::string DefaultLockDir();

inline constexpr const char* kLockFileName = "zolven-taris.lock";

}  // namespace zt
