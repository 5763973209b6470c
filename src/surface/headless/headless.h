#pragma once
// A binding with no display and no audio: the layered canvas in memory and a
// virtual clock that jumps to every deadline at once. Deterministic and fast.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "surface/canvas/layered_canvas.h"
#include "surface/events/event_engine.h"
#include "surface/platform.h"

namespace zt {

class VirtualClock : public Clock {
 public:
  explicit VirtualClock(const CalendarTime& start);
  void Sleep(int32_t ms) override { Advance(ms); }
  float Timer() override;
  CalendarTime Now() override;
  int64_t MonotonicMs() override { return elapsed_ms_; }
  void Advance(int64_t ms) { elapsed_ms_ += ms > 0 ? ms : 0; }
  void AdvanceTo(int64_t ms) { elapsed_ms_ = ms > elapsed_ms_ ? ms : elapsed_ms_; }

 private:
  int64_t start_civil_ms_;
  int64_t elapsed_ms_ = 0;
};

// Input is scripted by time; a wait jumps the virtual clock to its end or
// to the next scripted input, and Timer1 fires on the virtual clock.
class HeadlessEvents : public EventEngine {
 public:
  explicit HeadlessEvents(VirtualClock& clock) : EventEngine(clock), clock_(clock) {}

  enum class InputKind { kClick, kKey, kClose };
  // Delivers the input at the first pump at or after `at_ms` of virtual time.
  void Schedule(int64_t at_ms, InputKind kind, char key = 0);

 private:
  bool WaitForNative(int64_t deadline_ms) override;
  bool DispatchOne() override;
  bool InputDue() const {
    return !inputs_.empty() && inputs_.front().at_ms <= clock_.MonotonicMs();
  }

  struct Input {
    int64_t at_ms;
    InputKind kind;
    char key;
  };
  VirtualClock& clock_;
  std::deque<Input> inputs_;
};

// No other copy, no files, fixed folder: the render mode touches nothing.
class HeadlessHost : public Host {
 public:
  bool PreviousInstance() override { return false; }
  std::string AppPath() override { return "."; }
  bool FileExists(const std::string&) override { return false; }
};

// Every sound request fails quietly: no music without a device.
class SilentAudio : public Audio {
 public:
  int32_t SndPlaySound(std::string_view, uint32_t) override { return 0; }
  uint32_t MciSendString(std::string_view, char* reply, uint32_t size) override {
    if (reply != nullptr && size > 0) reply[0] = '\0';
    return 263;  // "device not open"
  }
  void Beep() override {}
};

// The shown window image as PNG rows: 24-bit RGB in direct colour, 8-bit
// indexed with the realised palette in palette mode. A copy, so it can be
// encoded while the next figure is drawn.
struct PngPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;    // row after row, 3 bytes or 1 per pixel
  std::vector<uint8_t> colormap;  // RGB triples; empty in direct colour
};
PngPicture TakePicture(const LayeredCanvas& canvas);
// The same into a picture kept from before, reusing its memory.
void TakePicture(const LayeredCanvas& canvas, PngPicture& picture);

// Writes a picture to a temporary name and renames it, so no half-written
// image is left behind. The same picture always gives the same bytes.
bool WritePng(const PngPicture& picture, const std::string& path, std::string& error);

}  // namespace zt
