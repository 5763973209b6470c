#pragma once
// The music player's calls as Windows has them: sndPlaySoundA for the wave
// loop, mciSendStringA for the MIDI song, MessageBeep for the beep. The two
// that read files run on a sound thread of their own; the caller waits for
// the answer only until a deadline, or until input arrives, so a file on a
// slow share or a hung driver cannot stall the display. A call that missed
// its deadline fails; what it does later on the sound thread is ignored.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "surface/platform.h"

namespace zt {

// What the system is handed is checked first, on the sound thread, with
// the readers every binding shares: a wave file of at most this size (the
// wave player reads it whole) whose header ReadWaveHeader accepts; a MIDI
// song of at most kMaxMidiFileBytes that ReadMidiFile reads and
// CheckMidiLoad passes.
inline constexpr uint64_t kMaxWaveFileBytes = 64ull << 20;

// MCIERR_DEVICE_NOT_READY: the answer to a call that missed its deadline.
inline constexpr uint32_t kMciErrNotReady = 276;
// How long the end of the program waits for calls still queued.
inline constexpr int32_t kExitGraceMs = 250;

class Win32Audio : public Audio {
 public:
  explicit Win32Audio(int32_t deadline_ms = 3000);
  ~Win32Audio() override;
  Win32Audio(const Win32Audio&) = delete;
  Win32Audio& operator=(const Win32Audio&) = delete;

  int32_t SndPlaySound(std::string_view file_name, uint32_t flags) override;
  uint32_t MciSendString(std::string_view command, char* reply, uint32_t reply_size) override;
  void Beep() override;

 private:
  struct Call;
  struct Worker;
  // Runs `call` on the sound thread; false when it missed the deadline.
  bool Run(const std::shared_ptr<Call>& call);

  int32_t deadline_ms_;
  std::shared_ptr<Worker> worker_;
};

// True when `path` names a file no larger than `limit` bytes.
bool FileWithin(const std::string& path, uint64_t limit);
// The checks above.
bool WaveAcceptable(const std::string& path);
bool MidiAcceptable(const std::string& path);

}  // namespace zt
