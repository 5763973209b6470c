#include "surface/win32/win32_events.h"

#include <algorithm>
#include <utility>

#include "surface/events/quit_signals.h"
#include "surface/win32/win32_canvas.h"

namespace zt {

Win32Events::Win32Events(Win32Canvas& canvas, Clock& clock, HWND watched)
    : EventEngine(clock), canvas_(canvas), watched_(watched) {
  Attach(canvas_.Window());
}

Win32Events::~Win32Events() {
  destroying_ = true;
  KillTimer(canvas_.Window(), kTimer1Id);
  // The windows outlive the pump for a moment; their messages go unhandled.
  for (HWND window : attached_) {
    if (IsWindow(window)) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
}

bool Win32Events::RegisterClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(instance, ClassName(), &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = ClassName();
  return RegisterClassExW(&wc) != 0;
}

void Win32Events::Attach(HWND window) {
  if (window == nullptr) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  attached_.push_back(window);
}

LRESULT CALLBACK Win32Events::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<Win32Events*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->destroying_) {
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(window, message, w, l);
  }
  return self->Handle(window, message, w, l);
}

template <typename F>
void Win32Events::Guarded(F&& f) {
  // After the exit no further event is handled.
  if (pending_) return;
  try {
    f();
  } catch (...) {
    pending_ = std::current_exception();
  }
}

void Win32Events::RethrowPending() {
  if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
}

LRESULT Win32Events::Handle(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      Guarded([this] {
        if (handlers().click) handlers().click();
      });
      return message == WM_XBUTTONDOWN ? TRUE : 0;
    case WM_CHAR:
      // Only keys that type a character arrive here: TranslateMessage makes
      // WM_CHAR of them, Alt combinations become WM_SYSCHAR instead.
      Guarded([this, w] {
        if (handlers().key_press) handlers().key_press(w < 0x80 ? static_cast<char>(w) : '?');
      });
      return 0;
    case WM_CLOSE:
    case WM_ENDSESSION:
      if (message == WM_ENDSESSION && w == FALSE) return 0;
      Guarded([this] { CloseRequested(); });
      return 0;
    case WM_DESTROY:
      // Destroyed from outside: the preview's parent went, taking us along.
      Guarded([this] { CloseRequested(); });
      return 0;
    case WM_TIMER:
      if (w == kTimer1Id) Guarded([this] { FireTimer1(); });
      return 0;
    case WM_SYSCOMMAND:
      // Already the screen saver: do not let the system start another.
      if ((w & 0xFFF0) == SC_SCREENSAVE || (w & 0xFFF0) == SC_MONITORPOWER) return 0;
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (window == canvas_.Window()) {
        canvas_.Paint(dc, ps.rcPaint);
      } else {
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
      EndPaint(window, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

bool Win32Events::WaitForNative(int64_t deadline_ms) {
  int64_t left = deadline_ms - clock().MonotonicMs();
  if (watched_ != nullptr) left = std::min<int64_t>(left, kWatchSliceMs);
  const DWORD timeout = static_cast<DWORD>(std::clamp<int64_t>(left, 0, 0x7FFFFFFF));
  HANDLE wake = static_cast<HANDLE>(QuitSignals::WakeHandle());
  const DWORD count = wake != nullptr ? 1 : 0;
  // MWMO_INPUTAVAILABLE: messages already queued count too, not only new ones.
  const DWORD woke = MsgWaitForMultipleObjectsEx(count, count ? &wake : nullptr, timeout,
                                                 QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (watched_ != nullptr && !IsWindow(watched_)) {
    // Our child may have gone with it, and with it any message to it.
    watched_ = nullptr;
    watched_gone_ = true;
    return true;
  }
  return woke != WAIT_TIMEOUT && woke != WAIT_FAILED;
}

bool Win32Events::DispatchOne() {
  if (std::exchange(watched_gone_, false)) {
    CloseRequested();
    return true;
  }
  MSG msg;
  // Messages sent to the window are handled inside PeekMessage itself.
  const BOOL got = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
  RethrowPending();
  if (!got) return false;
  if (msg.message == WM_QUIT) {
    CloseRequested();
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  RethrowPending();
  return true;
}

void Win32Events::Present() { canvas_.Present(); }

bool Win32Events::ArmNativeTimer1(int32_t interval_ms, bool enabled) {
  // Enabling a running timer again leaves its count alone.
  if (enabled == armed_ && (!enabled || interval_ms == armed_interval_)) return true;
  armed_ = enabled && interval_ms > 0;
  armed_interval_ = interval_ms;
  if (enabled && interval_ms > 0) {
    // Setting it again restarts the count, as a new interval should.
    SetTimer(canvas_.Window(), kTimer1Id, static_cast<UINT>(interval_ms), nullptr);
  } else {
    KillTimer(canvas_.Window(), kTimer1Id);
  }
  return true;
}

}  // namespace zt
