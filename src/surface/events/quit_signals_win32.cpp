// The console's close requests as quit signals: the handler runs on a
// thread of the system's, so it only sets a flag and an event that wakes
// the message wait.
#include <windows.h>

#include <atomic>

#include "surface/events/quit_signals.h"

namespace zt {
namespace {

std::atomic<bool> g_quit{false};
std::atomic<HANDLE> g_wake{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD) {
  g_quit = true;
  if (HANDLE wake = g_wake.load()) SetEvent(wake);
  return TRUE;
}

}  // namespace

QuitSignals::QuitSignals() {
  g_quit = false;
  g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

QuitSignals::~QuitSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  if (HANDLE wake = g_wake.exchange(nullptr)) CloseHandle(wake);
}

bool QuitSignals::Take() {
  if (!g_quit.exchange(false)) return false;
  if (HANDLE wake = g_wake.load()) ResetEvent(wake);
  return true;
}

bool QuitSignals::Pending() { return g_quit; }

void QuitSignals::Raise() { OnConsoleEvent(CTRL_C_EVENT); }

int QuitSignals::WakeFd() { return -1; }

void* QuitSignals::WakeHandle() { return g_wake.load(); }

}  // namespace zt
