#pragma once
// The host services on Windows: one copy per user session through a named
// mutex, the program's folder, the file test. Paths are in the process's
// code page, the one the A functions of winmm take (UTF-8 where Windows
// honours the manifest's request for it).
#include <string>

#include "surface/platform.h"
#include "surface/win32/gdi_handle.h"

namespace zt {

class Win32Host : public Host {
 public:
  // `mutex_name` empty: the program's own name in the session's namespace.
  explicit Win32Host(std::wstring mutex_name = {});

  // Creates the mutex on first use and keeps it while the host lives; true
  // when it already existed, i.e. another copy runs in this session.
  bool PreviousInstance() override;
  std::string AppPath() override;
  bool FileExists(const std::string& path) override;
  char PathSeparator() const override { return '\\'; }

 private:
  std::wstring mutex_name_;
  KernelHandle mutex_;
  bool checked_ = false;
  bool previous_ = false;
};

// The folder of the running program, without a trailing separator.
std::string AppPathOfModule();

inline constexpr const wchar_t* kInstanceMutexName = L"Local\\Zolven Taris single instance";

}  // namespace zt
