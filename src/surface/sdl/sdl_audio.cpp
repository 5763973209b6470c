#include "surface/sdl/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "surface/mci/mci_command.h"
#include "surface/mci/midi_file.h"

namespace zt {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kChunkSamples = 1024;

// A one-second song of a single note, used to prove that a synthesiser and
// its instruments really load.
constexpr uint8_t kProbeSong[] = {
    'M',  'T',  'h',  'd',  0, 0, 0, 6,  0, 0, 0, 1, 0, 96,  // format 0, 96 tpq
    'M',  'T',  'r',  'k',  0, 0, 0, 13,                     //
    0x00, 0x90, 60,   64,                                    // note on
    0x81, 0x40, 0x80, 60,   0,                               // note off at 192
    0x00, 0xFF, 0x2F, 0x00,                                  // end of track
};

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// Reads at most `limit` + 1 bytes, so an oversized file is seen as such
// without being read whole.
std::optional<std::vector<uint8_t>> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  char buffer[4096];
  while (in && bytes.size() <= limit) {
    in.read(buffer, sizeof buffer);
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

std::string FindSoundFont() {
  static constexpr const char* kCandidates[] = {
      "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf2/TimGM6mb.sf2",
      "/usr/share/sounds/sf2/FluidR3_GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
      "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/soundfonts/default.sf2",
      "/usr/share/soundfonts/FluidR3_GM.sf2",
  };
  for (const char* path : kCandidates) {
    if (IsFile(path)) return path;
  }
  return {};
}

// The audio subsystem and the mixer, open together or not at all.
struct SdlAudio::Device {
  Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device() {
    if (mixer_open) Mix_CloseAudio();
    if (mixer_inited) Mix_Quit();
    if (subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  bool subsystem = false;
  bool mixer_open = false;
  bool mixer_inited = false;
};

SdlAudio::SdlAudio() = default;

SdlAudio::~SdlAudio() {
  // Songs and chunks go before the device closes.
  song_.reset();
  wave_.reset();
  beep_.reset();
  device_.reset();
}

bool SdlAudio::DeviceReady() {
  if (device_tried_) return device_ != nullptr;
  device_tried_ = true;
  auto device = std::make_unique<Device>();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  device->subsystem = true;
  if (Mix_OpenAudio(kSampleRate, AUDIO_S16SYS, 2, kChunkSamples) != 0) return false;
  device->mixer_open = true;
  device_ = std::move(device);
  return true;
}

void SdlAudio::StopWave() {
  // The channel may have passed to a beep once a wave played only once ended.
  if (wave_channel_ >= 0 && wave_ && Mix_GetChunk(wave_channel_) == wave_.get()) {
    Mix_HaltChannel(wave_channel_);
  }
  wave_channel_ = -1;
  wave_.reset();
}

int32_t SdlAudio::SndPlaySound(std::string_view file_name, uint32_t flags) {
  if (!DeviceReady()) return 0;
  StopWave();
  if (file_name.empty()) return 1;  // an empty name only silences the wave player
  std::string path(file_name);
  if (!IsFile(path)) return 0;
  ChunkPtr chunk(Mix_LoadWAV(path.c_str()));
  if (!chunk) return 0;  // not audio, or not a kind the mixer can decode
  int channel = Mix_PlayChannel(-1, chunk.get(), (flags & kSndLoop) ? -1 : 0);
  if (channel < 0) return 0;
  wave_ = std::move(chunk);
  wave_channel_ = channel;
  return 1;
}

bool SdlAudio::SynthesiserWorks() {
  if (synth_works_) return *synth_works_;
  if (!DeviceReady()) return false;  // try again once a device appears
  // The mixer's own search knows one soundfont path only; point it at the
  // General MIDI font this system has unless the user chose one.
  const char* chosen = Mix_GetSoundFonts();
  if (std::getenv("SDL_SOUNDFONTS") == nullptr && (chosen == nullptr || !IsFile(chosen))) {
    std::string found = FindSoundFont();
    if (!found.empty()) Mix_SetSoundFonts(found.c_str());
  }
  bool works = false;
  if ((Mix_Init(MIX_INIT_MID) & MIX_INIT_MID) != 0) {
    device_->mixer_inited = true;
    SDL_RWops* rw = SDL_RWFromConstMem(kProbeSong, sizeof kProbeSong);
    MusicPtr probe(rw != nullptr ? Mix_LoadMUS_RW(rw, 1) : nullptr);
    works = probe != nullptr;
  }
  synth_works_ = works;
  return works;
}

uint32_t SdlAudio::Capability(std::string_view device, char* reply, uint32_t reply_size) {
  if (device != "sequencer") return kMciErrInvalidDeviceName;
  return WriteMciReply(SynthesiserWorks() ? "true" : "false", reply, reply_size);
}

uint32_t SdlAudio::Open(const std::string& path, const std::string& alias) {
  if (song_) return song_->alias == alias ? kMciErrDuplicateAlias : kMciErrDeviceOpen;
  if (!SynthesiserWorks()) return kMciErrHardware;
  // Read once and hand the same bytes to the mixer, so what was checked is
  // what plays even if the file changes or vanishes meanwhile.
  std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(path, kMaxMidiFileBytes);
  if (!bytes) return kMciErrFileNotFound;
  MidiResult info = ReadMidiFile(*bytes);
  if (!std::holds_alternative<MidiSummary>(info)) return kMciErrInvalidFile;
  Song song;
  song.alias = alias;
  song.bytes = std::move(*bytes);
  song.length_ms = std::get<MidiSummary>(info).length_ms;
  SDL_RWops* rw = SDL_RWFromConstMem(song.bytes.data(), static_cast<int>(song.bytes.size()));
  if (rw == nullptr) return kMciErrHardware;
  song.music.reset(Mix_LoadMUS_RW(rw, 1));
  if (!song.music || Mix_GetMusicType(song.music.get()) != MUS_MID) return kMciErrInvalidFile;
  song_ = std::move(song);
  return 0;
}

uint32_t SdlAudio::MciSendString(std::string_view command, char* reply, uint32_t reply_size) {
  std::optional<MciCommand> cmd = ParseMciCommand(command);
  if (!cmd) return kMciErrUnrecognizedCommand;
  if (cmd->kind == MciKind::kCapabilityCanPlay) return Capability(cmd->alias, reply, reply_size);
  if (cmd->kind == MciKind::kOpen) {
    uint32_t result = Open(cmd->path, cmd->alias);
    return result != 0 ? result : WriteMciReply("", reply, reply_size);
  }
  if (!song_ || song_->alias != cmd->alias) return kMciErrInvalidDeviceName;
  Song& song = *song_;
  switch (cmd->kind) {
    case MciKind::kSetTimeFormatMs:
      break;  // milliseconds are the only format kept
    case MciKind::kStatusLength:
      return WriteMciReply(std::to_string(song.length_ms), reply, reply_size);
    case MciKind::kPlayNotify:
      if (song.position == Song::Position::kAtStart) {
        if (Mix_PlayMusic(song.music.get(), 0) != 0) return kMciErrHardware;
      } else if (song.position == Song::Position::kStopped) {
        Mix_ResumeMusic();
      }
      // Playing on from where it is, or from its end: nothing to do.
      song.position = Song::Position::kPlaying;
      break;
    case MciKind::kSeekToStart: {
      Mix_HaltMusic();
      Mix_ResumeMusic();  // a paused mixer would keep the next song silent
      // A fresh player: a FluidSynth player rewound after it stopped plays
      // next to nothing the second time round.
      SDL_RWops* rw = SDL_RWFromConstMem(song.bytes.data(), static_cast<int>(song.bytes.size()));
      MusicPtr fresh(rw != nullptr ? Mix_LoadMUS_RW(rw, 1) : nullptr);
      if (!fresh) return kMciErrHardware;
      song.music = std::move(fresh);
      song.position = Song::Position::kAtStart;
      break;
    }
    case MciKind::kStop:
      if (song.position == Song::Position::kPlaying) {
        Mix_PauseMusic();
        song.position = Song::Position::kStopped;
      }
      break;
    case MciKind::kClose:
      Mix_HaltMusic();
      Mix_ResumeMusic();
      song_.reset();
      break;
    case MciKind::kCapabilityCanPlay:
    case MciKind::kOpen:
      break;
  }
  return WriteMciReply("", reply, reply_size);
}

void SdlAudio::Beep() {
  if (!DeviceReady()) return;
  if (!beep_) {
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels) == 0 || format != AUDIO_S16SYS) return;
    // 150 ms of 880 Hz with short fades, so it clicks neither in nor out.
    const int frames = frequency * 150 / 1000;
    const int fade = frequency / 200;
    beep_samples_.resize(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
      double envelope = std::min(
          {1.0, static_cast<double>(i) / fade, static_cast<double>(frames - 1 - i) / fade});
      double v = 8000.0 * envelope * std::sin(2.0 * std::numbers::pi * 880.0 * i / frequency);
      for (int c = 0; c < channels; ++c) {
        beep_samples_[static_cast<std::size_t>(i) * channels + c] = static_cast<int16_t>(v);
      }
    }
    beep_.reset(Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(beep_samples_.data()),
                                  static_cast<Uint32>(beep_samples_.size() * sizeof(int16_t))));
  }
  if (beep_) Mix_PlayChannel(-1, beep_.get(), 0);
}

}  // namespace zt
