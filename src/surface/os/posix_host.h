#pragma once
// The host services on a POSIX system: the single-instance lock, the
// program's folder and the file test.
#include <sys/types.h>

#include <optional>
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
  // `lock_dir` empty: DefaultLockDir(). The lock is named after `display`
  // ($DISPLAY when null) and belongs to `user` (the effective user when
  // unset).
  explicit PosixHost(std::string lock_dir = {}, const char* display = nullptr,
                     std::optional<uid_t> user = std::nullopt);

  // Takes the instance lock on first use and keeps it for the host's
  // lifetime. True when another process holds it. The lock must be a
  // regular file of the user's own, in a folder of the user's own that
  // nobody else may write; a symbolic link is never followed. When any of
  // that fails, says so once on stderr and reports no previous instance:
  // the program then runs without the single-instance guarantee.
  bool PreviousInstance() override;
  std::string AppPath() override;
  bool FileExists(const std::string& path) override;

  const std::string& LockPath() const { return lock_path_; }

 private:
  std::string lock_dir_;
  std::string lock_path_;
  uid_t user_;
  UniqueFd lock_fd_;
  bool checked_ = false;
  bool previous_ = false;
};

// The folder the lock file goes into by default: $XDG_RUNTIME_DIR, else
// zolven-taris-<uid> in $TMPDIR or /tmp (made 0700 when missing).
std::string DefaultLockDir();

// One lock per X display: "zolven-taris-<display>.lock", the display's
// name without its screen number and with anything but letters, digits,
// '.' and '-' turned into '_'; "zolven-taris.lock" without a display.
std::string LockFileName(const char* display);

}  // namespace zt
