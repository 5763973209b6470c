#include "surface/win32/win32_session.h"

#include <algorithm>
#include <vector>

#include "surface/events/quit_signals.h"
#include "surface/dpi/dpi.h"
#include "surface/os/system_clock.h"
#include "surface/win32/gdi_text.h"
#include "surface/win32/win32_events.h"

namespace zt {
namespace {

void DestroyWindowHandle(HWND window) {
  if (IsWindow(window)) DestroyWindow(window);
}
using WindowHandle = Handle<HWND, DestroyWindowHandle>;

BOOL CALLBACK OnMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    auto& rects = *reinterpret_cast<std::vector<RECT>*>(data);
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
      rects.insert(rects.begin(), info.rcMonitor);
    } else {
      rects.push_back(info.rcMonitor);
    }
  }
  return TRUE;
}

HWND MakeWindow(DWORD ex_style, DWORD style, const RECT& r, HWND parent) {
  return CreateWindowExW(ex_style, Win32Events::ClassName(), L"Zolven Taris", style, r.left, r.top,
                         r.right - r.left, r.bottom - r.top, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

std::vector<RECT> MonitorRects() {
  std::vector<RECT> rects;
  EnumDisplayMonitors(nullptr, nullptr, OnMonitor, reinterpret_cast<LPARAM>(&rects));
  if (rects.empty()) {
    rects.push_back(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  }
  return rects;
}

// Declared in destruction order last to first.
struct Win32Session::Parts {
  SystemClock clock;
  std::unique_ptr<GdiTextRasterizer> own_text;
  std::vector<WindowHandle> covers;
  WindowHandle window;
  std::unique_ptr<Win32Canvas> canvas;
  std::unique_ptr<Win32Events> events;
  QuitSignals signals;
};

Win32Session::Win32Session(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

Win32Session::~Win32Session() {
  if (!parts_) return;
  parts_->events.reset();
  parts_->canvas.reset();
  parts_->window.reset();
  parts_->covers.clear();
}

Win32Canvas& Win32Session::canvas() { return *parts_->canvas; }
Win32Events& Win32Session::events() { return *parts_->events; }
Clock& Win32Session::clock() { return parts_->clock; }

std::unique_ptr<Win32Session> OpenWin32Session(const Win32Options& options, std::string& error) {
  auto fail = [&error](const std::string& why) {
    error = "zolven-taris: cannot open a display (" + why + ")";
    return nullptr;
  };
  if (!Win32Events::RegisterClass(GetModuleHandleW(nullptr))) return fail("no window class");
  auto parts = std::make_unique<Win32Session::Parts>();

  RECT area{};
  DWORD style = 0, ex_style = 0;
  HWND parent = nullptr;
  const std::vector<RECT> monitors = MonitorRects();
  switch (options.kind) {
    case Win32WindowKind::kFullScreen: {
      const size_t index = static_cast<size_t>(std::max(options.monitor, 0));
      area = monitors[index < monitors.size() ? index : 0];
      style = WS_POPUP;
      ex_style = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
      for (const RECT& m : monitors) {
        if (EqualRect(&m, &area)) continue;
        WindowHandle cover(MakeWindow(ex_style, style | WS_VISIBLE, m, nullptr));
        if (cover) parts->covers.push_back(std::move(cover));
      }
      break;
    }
    case Win32WindowKind::kWindowed: {
      style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      RECT client{0, 0, std::max(options.window_width, 1), std::max(options.window_height, 1)};
      AdjustWindowRectEx(&client, style, FALSE, 0);
      area = RECT{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
      parts->window.reset(CreateWindowExW(0, Win32Events::ClassName(), L"Zolven Taris", style,
                                          CW_USEDEFAULT, CW_USEDEFAULT, client.right - client.left,
                                          client.bottom - client.top, nullptr, nullptr,
                                          GetModuleHandleW(nullptr), nullptr));
      break;
    }
    case Win32WindowKind::kPreview:
      parent = options.parent;
      if (parent == nullptr || !IsWindow(parent)) return fail("the preview window is gone");
      GetClientRect(parent, &area);
      style = WS_CHILD;
      break;
  }
  if (!parts->window) parts->window.reset(MakeWindow(ex_style, style, area, parent));
  if (!parts->window) return fail("CreateWindowEx failed, error " + std::to_string(GetLastError()));
  HWND window = parts->window.get();

  RECT client{};
  GetClientRect(window, &client);
  CanvasConfig config;
  config.width = std::max<int32_t>(client.right - client.left, 1);
  config.height = std::max<int32_t>(client.bottom - client.top, 1);
  {
    HDC dc = GetDC(window);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    const int bpp = dc != nullptr ? GetDeviceCaps(dc, BITSPIXEL) : 32;
    if (dc != nullptr) ReleaseDC(window, dc);
    config.twips_per_pixel = TwipsPerPixelForDpi(dpi);
    config.bits_per_pixel = options.force_8bit ? 8 : bpp;
  }
  TextRasterizer* text = options.text;
  if (text == nullptr) {
    parts->own_text = std::make_unique<GdiTextRasterizer>();
    text = parts->own_text.get();
  }
  parts->canvas = std::make_unique<Win32Canvas>(window, config, text, options.kind);
  if (!parts->canvas->Ready()) return fail("no memory for the window's picture");
  parts->events = std::make_unique<Win32Events>(
      *parts->canvas, parts->clock, options.kind == Win32WindowKind::kPreview ? parent : nullptr);
  for (const WindowHandle& cover : parts->covers) parts->events->Attach(cover.get());
  return std::make_unique<Win32Session>(std::move(parts));
}

}  // namespace zt
