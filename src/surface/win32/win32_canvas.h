#pragma once
// The layered canvas on a Windows window. Present() copies the rectangles
// that changed into a DIB section, the picture GDI shows and repaints from,
// and from there to the screen. The layers stay in the canvas, which holds
// only what is drawn (a backdrop of bands costs kilobytes, a figure the
// blocks it touched). In 256-colour operation both layers hold palette
// indexes and the DIB section holds their colours for showing.
#include <cstdint>

#include "surface/canvas/layered_canvas.h"
#include "surface/win32/gdi_handle.h"

namespace zt {

enum class Win32WindowKind {
  kFullScreen,  // topmost, borderless, pointer hidden
  kWindowed,    // an ordinary window: topmost and the pointer left alone
  kPreview,     // a child of the Screen Saver Settings' little monitor
};

class Win32Canvas : public LayeredCanvas {
 public:
  Win32Canvas(HWND window, const CanvasConfig& config, TextRasterizer* text, Win32WindowKind kind);
  ~Win32Canvas() override;
  Win32Canvas(const Win32Canvas&) = delete;
  Win32Canvas& operator=(const Win32Canvas&) = delete;

  int32_t ShowCursor(bool show) override;
  int32_t SetWindowPosTopmost() override;
  int32_t SetCursorPos(int32_t x, int32_t y) override;
  void ShowWindow() override;

  // False when no DIB section could be made.
  bool Ready() const { return static_cast<bool>(dib_); }
  // Copies what changed since the last call to the window.
  void Present();
  // WM_PAINT: the window asks for `area` again.
  void Paint(HDC dc, const RECT& area);
  HWND Window() const { return window_; }
  bool CursorHidden() const { return cursor_hidden_; }

 private:
  void Blit(HDC dc, const RectI& r);

  HWND window_;
  Win32WindowKind kind_;
  MemoryDc memory_;
  BitmapHandle dib_;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
  bool cursor_hidden_ = false;
};

}  // namespace zt
