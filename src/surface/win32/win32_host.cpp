#include "surface/win32/win32_host.h"

#include <vector>

namespace zt {

Win32Host::Win32Host(std::wstring mutex_name)
    : mutex_name_(mutex_name.empty() ? kInstanceMutexName : std::move(mutex_name)) {}

bool Win32Host::PreviousInstance() {
  if (checked_) return previous_;
  checked_ = true;
  // "Local\" is the namespace of this logon session: another user's copy on
  // the same machine does not count.
  mutex_.reset(CreateMutexW(nullptr, FALSE, mutex_name_.c_str()));
  previous_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
  return previous_;
}

std::string AppPathOfModule() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ".";
    if (n < buffer.size()) {
      std::string path(buffer.data(), n);
      const size_t slash = path.find_last_of("\\/");
      return slash == std::string::npos ? "." : path.substr(0, slash);
    }
    if (buffer.size() > 32768) return ".";
    buffer.resize(buffer.size() * 2);
  }
}

std::string Win32Host::AppPath() { return AppPathOfModule(); }

bool Win32Host::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace zt
