#pragma once
// The wave player and the multimedia command strings over SDL2_mixer. The
// audio device is opened on first use; without one every call fails cleanly
// and the program simply stays silent.
#include <SDL_mixer.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/platform.h"

namespace zt {

class SdlAudio : public Audio {
 public:
  SdlAudio();
  ~SdlAudio() override;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  int32_t SndPlaySound(std::string_view file_name, uint32_t flags) override;
  uint32_t MciSendString(std::string_view command, char* reply, uint32_t reply_size) override;
  void Beep() override;

  // Whether the audio device could be opened (opens it when not yet tried).
  bool DeviceReady();

 private:
  struct Device;
  struct ChunkDeleter {
    void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
  };
  struct MusicDeleter {
    void operator()(Mix_Music* music) const { Mix_FreeMusic(music); }
  };
  using ChunkPtr = std::unique_ptr<Mix_Chunk, ChunkDeleter>;
  using MusicPtr = std::unique_ptr<Mix_Music, MusicDeleter>;

  // A song opened under an alias. The bytes stay alive as long as the music
  // that reads them, which is declared after them and so released first.
  struct Song {
    enum class Position { kAtStart, kPlaying, kStopped };
    std::string alias;
    std::vector<uint8_t> bytes;
    MusicPtr music;
    int64_t length_ms = 0;
    Position position = Position::kAtStart;
  };

  uint32_t Capability(std::string_view device, char* reply, uint32_t reply_size);
  uint32_t Open(const std::string& path, const std::string& alias);
  bool SynthesiserWorks();
  void StopWave();

  // Declared first so it is closed last, after every chunk and song.
  std::unique_ptr<Device> device_;
  bool device_tried_ = false;
  std::optional<bool> synth_works_;
  ChunkPtr wave_;
  int wave_channel_ = -1;
  std::vector<int16_t> beep_samples_;
  ChunkPtr beep_;
  std::optional<Song> song_;
};

// The first General MIDI soundfont found in the usual places, or empty.
std::string FindSoundFont();

}  // namespace zt
