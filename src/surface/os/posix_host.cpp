#include "surface/os/posix_host.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zt {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

std::string DefaultLockDir() {
  for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* dir = std::getenv(name);
    if (dir != nullptr && dir[0] == '/') return dir;
  }
  return "/tmp";
}

PosixHost::PosixHost(std::string lock_dir) {
  if (lock_dir.empty()) lock_dir = DefaultLockDir();
  while (lock_dir.size() > 1 && lock_dir.back() == '/') lock_dir.pop_back();
  lock_path_ = lock_dir + "/" + kLockFileName;
}

bool PosixHost::PreviousInstance() {
  if (checked_) return previous_;
  checked_ = true;
  UniqueFd fd(::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd) {
    std::fprintf(stderr,
                 "zolven-taris: cannot open the instance lock %s (%s); running without the "
                 "single-instance check\n",
                 lock_path_.c_str(), std::strerror(errno));
    return previous_ = false;
  }
  // flock belongs to the open file, so a second open in this very process
  // sees the lock too; it goes away with the process, however it ends.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return previous_ = true;
    std::fprintf(stderr,
                 "zolven-taris: cannot lock %s (%s); running without the single-instance "
                 "check\n",
                 lock_path_.c_str(), std::strerror(errno));
    return previous_ = false;
  }
  lock_fd_ = std::move(fd);
  return previous_ = false;
}

std::string PosixHost::AppPath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return ".";
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<size_t>(n));
      const size_t slash = path.rfind('/');
      if (slash == std::string::npos) return ".";
      if (slash == 0) return "";  // the root: callers append "/name"
      return path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool PosixHost::FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace zt
