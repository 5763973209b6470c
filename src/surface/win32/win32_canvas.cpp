#include "surface/win32/win32_canvas.h"

#include <algorithm>

namespace zt {

Win32Canvas::Win32Canvas(HWND window, const CanvasConfig& config, TextRasterizer* text,
                         Win32WindowKind kind)
    : LayeredCanvas(config, text),
      window_(window),
      kind_(kind),
      memory_(CreateCompatibleDC(nullptr)) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = Width();
  info.bmiHeader.biHeight = -Height();  // top-down, as the canvas stores rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;  // 0x00RRGGBB, the canvas's own cells
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  if (memory_) {
    dib_.reset(CreateDIBSection(memory_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  }
  if (!dib_ || bits == nullptr) {
    dib_.reset();
    return;
  }
  previous_ = SelectObject(memory_.get(), dib_.get());
  bits_ = static_cast<uint32_t*>(bits);
}

Win32Canvas::~Win32Canvas() {
  if (previous_ != nullptr) SelectObject(memory_.get(), previous_);
  // Leave the pointer as it was found, whatever the exit path.
  if (cursor_hidden_) ::ShowCursor(TRUE);
}

int32_t Win32Canvas::ShowCursor(bool show) {
  const int32_t count = LayeredCanvas::ShowCursor(show);
  // Only the full-screen window is the pointer's business.
  if (kind_ != Win32WindowKind::kFullScreen) return count;
  const int shown = ::ShowCursor(show ? TRUE : FALSE);
  cursor_hidden_ = shown < 0;
  return shown;
}

int32_t Win32Canvas::SetWindowPosTopmost() {
  LayeredCanvas::SetWindowPosTopmost();
  if (kind_ != Win32WindowKind::kFullScreen) return 1;
  // Insert after -1 (topmost), flags 3: keep position and size.
  return ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE) ? 1 : 0;
}

int32_t Win32Canvas::SetCursorPos(int32_t x, int32_t y) {
  LayeredCanvas::SetCursorPos(x, y);
  if (kind_ != Win32WindowKind::kFullScreen) return 1;
  POINT at{x, y};
  ClientToScreen(window_, &at);
  return ::SetCursorPos(at.x, at.y) ? 1 : 0;
}

void Win32Canvas::ShowWindow() {
  LayeredCanvas::ShowWindow();
  ::ShowWindow(window_, kind_ == Win32WindowKind::kPreview ? SW_SHOWNA : SW_SHOW);
  if (kind_ == Win32WindowKind::kFullScreen) SetForegroundWindow(window_);
  InvalidateRect(window_, nullptr, FALSE);
  Present();
}

void Win32Canvas::Blit(HDC dc, const RectI& r) {
  if (r.left >= r.right || r.top >= r.bottom) return;
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_.get(), r.left, r.top,
         SRCCOPY);
}

void Win32Canvas::Present() {
  if (!Ready() || !Shown()) return;
  const std::vector<RectI> rects = TakeDirtyRects();
  if (rects.empty()) return;
  // The shown colours (of the indexes, through the realised palette, in
  // 256-colour operation) into the DIB section, which WM_PAINT shows again.
  for (const RectI& r : rects) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      ShownRow(y, r.left, r.right, bits_ + static_cast<size_t>(y) * Width() + r.left);
    }
  }
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  for (const RectI& r : rects) Blit(dc, r);
  ReleaseDC(window_, dc);
}

void Win32Canvas::Paint(HDC dc, const RECT& area) {
  if (!Ready()) return;
  const RectI r{std::max<int32_t>(area.left, 0), std::max<int32_t>(area.top, 0),
                std::min<int32_t>(area.right, Width()), std::min<int32_t>(area.bottom, Height())};
  Blit(dc, r);
}

}  // namespace zt
