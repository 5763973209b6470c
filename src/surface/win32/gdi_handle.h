#pragma once
// Owners of Windows handles, released with the call each kind needs.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace zt {

template <typename H, auto Release>
class Handle {
 public:
  Handle() = default;
  explicit Handle(H h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, H{})) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.h_, H{}));
    return *this;
  }
  ~Handle() { reset(); }
  void reset(H h = H{}) {
    if (h_ != H{}) Release(h_);
    h_ = h;
  }
  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }

 private:
  H h_{};
};

inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DeleteMemoryDc(HDC h) { ::DeleteDC(h); }
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }

using FontHandle = Handle<HFONT, DeleteGdiObject>;
using BitmapHandle = Handle<HBITMAP, DeleteGdiObject>;
using MemoryDc = Handle<HDC, DeleteMemoryDc>;
using KernelHandle = Handle<HANDLE, CloseKernelHandle>;

// An object selected into a device context until the guard goes.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// UTF-8 to the system's UTF-16.
std::wstring Widen(std::string_view utf8);

}  // namespace zt
