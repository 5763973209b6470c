#pragma once
// SDL's window events for the event engine.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "surface/events/event_engine.h"

namespace zt {

class SdlCanvas;

// The character a key press types, keypad included; nothing for keys that
// type none (modifiers alone, arrows, function keys).
std::optional<char> SdlKeyCharacter(SDL_Keycode key, Uint16 modifiers);

class SdlEvents : public EventEngine {
 public:
  // `canvas` may be null (no window to present).
  SdlEvents(SdlCanvas* canvas, Clock& clock);
  ~SdlEvents() override;
  SdlEvents(const SdlEvents&) = delete;
  SdlEvents& operator=(const SdlEvents&) = delete;

  // Handles one event as the pump does.
  void Dispatch(const SDL_Event& event);

 private:
  bool WaitForNative(int64_t deadline_ms) override;
  bool DispatchOne() override;
  void Gather() override;
  void Present() override;
  struct XConnection;

  static constexpr int32_t kMaxWaitMs = 50;  // so a signal is seen promptly
  static constexpr int32_t kMaxWaitSignalledMs = 1000;
  static constexpr int64_t kPollGapMs = 4;

  SdlCanvas* canvas_;
  int64_t last_poll_ms_ = 0;
  std::unique_ptr<XConnection> x_;
  unsigned long x_window_ = 0;  // the window's X id, to tell when it is destroyed
};

}  // namespace zt
