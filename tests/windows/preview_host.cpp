// Stands in for the Screen Saver Settings' little monitor: a window with a
// 320x240 client area, its handle printed on stdout for /p, closed after
// the seconds given. Before it closes it prints each child window's class
// and client size, which is what Wine can show of a cross-process child
// (it does not put such a child's pixels on the screen).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  wchar_t name[64] = {};
  GetClassNameW(child, name, 63);
  RECT r{};
  GetClientRect(child, &r);
  std::printf("child %ls %ldx%ld %s\n", name, r.right - r.left, r.bottom - r.top,
              IsWindowVisible(child) ? "visible" : "hidden");
  return TRUE;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_TIMER:
      EnumChildWindows(window, PrintChild, 0);
      std::fflush(stdout);
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"ZtPreviewHost";
  RegisterClassW(&wc);
  RECT r{0, 0, 320, 240};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window = CreateWindowW(L"ZtPreviewHost", L"Preview host",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOW);
  std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  std::fflush(stdout);
  SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
