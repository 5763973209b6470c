#include "surface/events/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zt {
namespace {

volatile std::sig_atomic_t g_quit_signal = 0;
// Written to by the handler so a wait on the X connection wakes up even when
// the signal lands between the flag check and the wait.
int g_wake_pipe[2] = {-1, -1};

void Wake() {
  if (g_wake_pipe[1] < 0) return;
  const char byte = 1;
  // A full pipe already holds a wake-up.
  if (write(g_wake_pipe[1], &byte, 1) < 0) return;
}

extern "C" void OnQuitSignal(int) {
  const int saved = errno;
  g_quit_signal = 1;
  Wake();
  errno = saved;
}

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[3];

}  // namespace

QuitSignals::QuitSignals() {
  g_quit_signal = 0;
  if (pipe2(g_wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) g_wake_pipe[0] = g_wake_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kQuitSignals[i], &action, &g_previous[i]);
}

QuitSignals::~QuitSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kQuitSignals[i], &g_previous[i], nullptr);
  for (int& fd : g_wake_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

bool QuitSignals::Take() {
  if (g_quit_signal == 0) return false;
  g_quit_signal = 0;
  char drain[16];
  while (g_wake_pipe[0] >= 0 && read(g_wake_pipe[0], drain, sizeof drain) > 0) {
  }
  return true;
}

void QuitSignals::Raise() {
  g_quit_signal = 1;
  Wake();
}

bool QuitSignals::Pending() { return g_quit_signal != 0; }

int QuitSignals::WakeFd() { return g_wake_pipe[0]; }

}  // namespace zt
