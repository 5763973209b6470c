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
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/zolven-taris-" + std::to_string(::geteuid());
}

std::string LockFileName(const char* display) {
  if (display == nullptr || *display == '\0') return "zolven-taris.lock";
  std::string name(display);
  // ":0" and ":0.0" are the same display.
  const std::size_t colon = name.rfind(':');
  const std::size_t dot = name.find('.', colon == std::string::npos ? 0 : colon);
  if (colon != std::string::npos && dot != std::string::npos) name.resize(dot);
  for (char& c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-';
    if (!keep) c = '_';
  }
  return "zolven-taris-" + name + ".lock";
}

PosixHost::PosixHost(std::string lock_dir, const char* display, std::optional<uid_t> user)
    : user_(user ? *user : ::geteuid()) {
  if (lock_dir.empty()) {
    lock_dir = DefaultLockDir();
    // Ours to make when missing; whatever stands there instead is refused
    // by the checks of PreviousInstance.
    ::mkdir(lock_dir.c_str(), 0700);
  }
  while (lock_dir.size() > 1 && lock_dir.back() == '/') lock_dir.pop_back();
  lock_dir_ = lock_dir;
  lock_path_ = lock_dir + "/" + LockFileName(display != nullptr ? display : std::getenv("DISPLAY"));
}

namespace {

// Why `info` is no place for this user's lock, or null when it is.
const char* UnsafeFolder(const struct stat& info, uid_t user) {
  if (!S_ISDIR(info.st_mode)) return "not a folder";
  if (info.st_uid != user) return "the folder belongs to another user";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "others may write the folder";
  return nullptr;
}

const char* UnsafeFile(const struct stat& info, uid_t user) {
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  if (info.st_uid != user) return "the file belongs to another user";
  return nullptr;
}

void RunningWithoutLock(const std::string& path, const char* why) {
  std::fprintf(stderr,
               "zolven-taris: cannot open the instance lock %s (%s); running without the "
               "single-instance check\n",
               path.c_str(), why);
}

}  // namespace

bool PosixHost::PreviousInstance() {
  if (checked_) return previous_;
  checked_ = true;
  previous_ = false;
  struct stat info {};
  // lstat: a folder planted as a link is not the user's folder.
  if (::lstat(lock_dir_.c_str(), &info) != 0) {
    RunningWithoutLock(lock_path_, std::strerror(errno));
    return false;
  }
  if (const char* why = UnsafeFolder(info, user_)) {
    RunningWithoutLock(lock_path_, why);
    return false;
  }
  UniqueFd fd(
      ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
  if (!fd) {
    RunningWithoutLock(lock_path_, errno == ELOOP ? "a symbolic link" : std::strerror(errno));
    return false;
  }
  if (::fstat(fd.Get(), &info) != 0) {
    RunningWithoutLock(lock_path_, std::strerror(errno));
    return false;
  }
  if (const char* why = UnsafeFile(info, user_)) {
    RunningWithoutLock(lock_path_, why);
    return false;
  }
  // flock belongs to the open file, so a second open in this very process
  // sees the lock too; it goes away with the process, however it ends.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return previous_ = true;
    RunningWithoutLock(lock_path_, std::strerror(errno));
    return false;
  }
  lock_fd_ = std::move(fd);
  return false;
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
