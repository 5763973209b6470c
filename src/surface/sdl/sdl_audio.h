#pragma once
// The wave player and the multimedia command strings over SDL2_mixer.
// One sound thread owns the mixer: it opens the device, loads, plays, stops
// and closes, while the calls here only check the file, answer at once and
// post a command. So nothing a music file or the sound system does (a slow
// device, a synthesiser rendering a thousand notes in one callback) can keep
// the caller waiting. Without a device the sound thread fails cleanly and the
// program simply stays silent.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "surface/os/posix_host.h"
#include "surface/platform.h"

namespace zt {

class SdlAudio : public Audio {
 public:
  // What the end of the player does with the device. Closing it waits for
  // SDL's audio thread, which plays out two more buffers (about 50 ms)
  // before it ends; a player that lives as long as the process can leave
  // the device to the process's end instead: its end then only stops every
  // sound and frees the songs, so no callback can reach them, and the
  // device stays open, playing silence, until the process is gone. After
  // that no other player may be made in the process.
  enum class DeviceEnd { kClose, kWithProcess };

  explicit SdlAudio(DeviceEnd device_end = DeviceEnd::kClose);
  ~SdlAudio() override;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  int32_t SndPlaySound(std::string_view file_name, uint32_t flags) override;
  uint32_t MciSendString(std::string_view command, char* reply, uint32_t reply_size) override;
  void Beep() override;

  // Whether the audio device could be opened. Waits for the sound thread to
  // get that far and try: for tests, never for the user-interface thread.
  bool DeviceReady();

  struct Command {
    enum class Kind {
      kProbeDevice,  // answers `ready`
      kPlayWave,     // streams the wave read from `fd`
      kStopWave,
      kLoadSong,  // `bytes` become the song
      kPlaySong,  // from the start
      kResumeSong,
      kPauseSong,
      kRewindSong,
      kCloseSong,
      kBeep,
      kQuit,
    };
    explicit Command(Kind k = Kind::kQuit) : kind(k) {}
    Kind kind;
    UniqueFd fd;  // the wave, opened and checked by the caller
    bool loop = false;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    std::shared_ptr<std::promise<bool>> ready;
  };

 private:
  // A song opened under an alias, as the callers see it.
  struct Song {
    enum class Position { kAtStart, kPlaying, kStopped };
    std::string alias;
    int64_t length_ms = 0;
    Position position = Position::kAtStart;
  };

  uint32_t Open(const std::string& path, const std::string& alias);
  void Post(Command command);
  void Run();

  const DeviceEnd device_end_;
  std::optional<Song> song_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Command> queue_;  // guarded by mutex_
  std::thread worker_;
};

// The first General MIDI soundfont found in the usual places, or empty.
std::string FindSoundFont();

}  // namespace zt
