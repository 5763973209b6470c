#pragma once
// Window events, the timer Timer1 and termination signals, handled inside
// the pump the drawing loops call.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "surface/platform.h"

namespace zt {

class SdlCanvas;

// The character a key press types, keypad included; nothing for keys that
// type none (modifiers alone, arrows, function keys).
std::optional<char> SdlKeyCharacter(SDL_Keycode key, Uint16 modifiers);

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
  // For tests: behaves as if a signal had arrived.
  static void Raise();
  // Readable while a signal is waiting to be taken; -1 when unavailable.
  static int WakeFd();
};

class SdlEvents : public Events {
 public:
  // `canvas` may be null (no window to present).
  explicit SdlEvents(SdlCanvas* canvas);
  ~SdlEvents() override;
  SdlEvents(const SdlEvents&) = delete;
  SdlEvents& operator=(const SdlEvents&) = delete;

  void SetHandlers(EventHandlers handlers) override { handlers_ = std::move(handlers); }
  void Pump() override;
  void PumpFor(int32_t ms) override;
  void WaitAndPump(int32_t ms) override;
  void SetTimer1Interval(int32_t ms) override;
  void SetTimer1Enabled(bool enabled) override;
  int32_t Timer1Interval() const override { return timer_interval_; }
  bool Timer1Enabled() const override { return timer_enabled_; }

  // Handles one event as the pump does.
  void Dispatch(const SDL_Event& event);

 private:
  // Milliseconds until Timer1 is due, or -1 when it is off.
  int64_t UntilTimer(uint64_t now) const;
  void FireTimerIfDue();
  void CloseRequested();
  // Waits up to `ms` for an event; 1 when one is queued.
  int WaitForEvents(int32_t ms);
  struct XConnection;

  int32_t MaxWaitMs() const;
  static constexpr int32_t kMaxWaitMs = 50;  // so a signal is seen promptly
  static constexpr int32_t kMaxWaitSignalledMs = 1000;
  static constexpr uint64_t kPollGapMs = 4;

  SdlCanvas* canvas_;
  EventHandlers handlers_;
  int32_t timer_interval_ = 0;
  bool timer_enabled_ = false;
  uint64_t timer_due_ = 0;
  uint64_t last_poll_ms_ = 0;
  std::unique_ptr<XConnection> x_;
  unsigned long x_window_ = 0;  // the window's X id, to tell when it is destroyed
};

}  // namespace zt
