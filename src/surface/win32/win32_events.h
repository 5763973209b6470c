#pragma once
// Windows' message queue for the event engine. The wait is
// MsgWaitForMultipleObjectsEx on the queue and the console's close event,
// so a click ends a spoke's wait at once; Timer1 is a window timer. A
// handler that ends the program throws from inside the window procedure;
// the exception is caught there, kept, and thrown again once
// DispatchMessage has returned, so it never crosses the system's frames.
#include <windows.h>

#include <exception>
#include <vector>

#include "surface/events/event_engine.h"

namespace zt {

class Win32Canvas;

class Win32Events : public EventEngine {
 public:
  // `watched` (may be null): a window whose end ends the program, as the
  // preview's parent does.
  Win32Events(Win32Canvas& canvas, Clock& clock, HWND watched = nullptr);
  ~Win32Events() override;
  Win32Events(const Win32Events&) = delete;
  Win32Events& operator=(const Win32Events&) = delete;

  // Takes a window's messages: the drawing window and the black covers of
  // the other monitors.
  void Attach(HWND window);
  // The window procedure of every window attached.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static const wchar_t* ClassName() { return L"ZolvenTarisWindow"; }
  // Registers the window class once per process.
  static bool RegisterClass(HINSTANCE instance);

 private:
  bool WaitForNative(int64_t deadline_ms) override;
  bool DispatchOne() override;
  void Present() override;
  bool ArmNativeTimer1(int32_t interval_ms, bool enabled) override;

  LRESULT Handle(HWND window, UINT message, WPARAM w, LPARAM l);
  // Runs a handler inside the window procedure, keeping what it throws.
  template <typename F>
  void Guarded(F&& f);
  void RethrowPending();

  static constexpr UINT_PTR kTimer1Id = 1;
  static constexpr int32_t kWatchSliceMs = 250;  // how soon a gone parent is seen

  Win32Canvas& canvas_;
  HWND watched_;
  std::exception_ptr pending_;
  bool watched_gone_ = false;
  std::vector<HWND> attached_;
  bool destroying_ = false;
  bool armed_ = false;
  int32_t armed_interval_ = 0;
};

}  // namespace zt
