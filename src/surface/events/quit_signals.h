#pragma once
// Termination signals as close requests, with a pipe that wakes a wait.

namespace zt {

// Marks SIGTERM, SIGINT and SIGHUP as close requests for the pump while it
// lives; the previous handlers come back afterwards.
class QuitSignals {
 public:
  QuitSignals();
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;
  // True once per signal received since the last call.
  static bool Take();
  // True while a signal waits to be taken.
  static bool Pending();
  // For tests: behaves as if a signal had arrived.
  static void Raise();
  // Readable while a signal is waiting to be taken; -1 when unavailable.
  static int WakeFd();
};

}  // namespace zt
