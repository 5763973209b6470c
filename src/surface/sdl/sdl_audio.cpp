#include "surface/sdl/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>

#include "surface/mci/mci_command.h"
#include "surface/mci/midi_file.h"
#include "surface/mci/wave_file.h"
#include "surface/sdl/fluid_hooks.h"

namespace zt {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kChunkSamples = 1024;
// A song is restarted by the window timer once per length; shorter than
// this it would be reloaded many times a second for no music at all.
constexpr int64_t kMinSongMs = 250;

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

// A regular file opened for reading; a FIFO or device never blocks the
// open, and is refused.
UniqueFd OpenRegular(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!fd || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return UniqueFd();
  return fd;
}

// Up to `limit` + 1 bytes from the start, so an oversized file is seen as
// such without being read whole.
std::optional<std::vector<uint8_t>> ReadHead(int fd, std::size_t limit) {
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  while (bytes.size() <= limit) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

std::string SoundFontToUse() {
  const char* chosen = std::getenv("SDL_SOUNDFONTS");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return FindSoundFont();
}

struct MusicDeleter {
  void operator()(Mix_Music* music) const { Mix_FreeMusic(music); }
};
struct ChunkDeleter {
  void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
};
using MusicPtr = std::unique_ptr<Mix_Music, MusicDeleter>;
using ChunkPtr = std::unique_ptr<Mix_Chunk, ChunkDeleter>;

// A library the process has already loaded, looked up without loading it.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* soname) : handle_(dlopen(soname, RTLD_LAZY | RTLD_NOLOAD)) {}
  ~LoadedLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  void* Find(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

 private:
  void* handle_;
};

extern "C" void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
extern "C" void QuietFluidSynth(int, const char*, void*) {}

// The sound system's and the synthesiser's own messages would reach stderr:
// ALSA's for a missing card, FluidSynth's for every voice it cannot find.
void SilenceAlsa() {
  LoadedLibrary alsa("libasound.so.2");
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  if (auto set = reinterpret_cast<int (*)(Handler)>(alsa.Find("snd_lib_error_set_handler"))) {
    set(QuietAlsa);
  }
}

void SilenceFluidSynth() {
  LoadedLibrary fluid("libfluidsynth.so.3");
  using LogFn = void (*)(int, const char*, void*);
  auto set = reinterpret_cast<LogFn (*)(int, LogFn, void*)>(fluid.Find("fluid_set_log_function"));
  if (set == nullptr) return;
  // A function that says nothing, not null: null would let FluidSynth put
  // its own printer back.
  for (int level = 0; level <= 4; ++level) set(level, QuietFluidSynth, nullptr);  // panic .. debug
}

// Everything the mixer holds, touched by the sound thread only.
class Mixer {
 public:
  explicit Mixer(SdlAudio::DeviceEnd device_end) : device_end_(device_end) {}
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;
  ~Mixer() {
    // Each is halted and freed under the mixer's lock, so the audio
    // callback has let go of it by then.
    wave_.reset();
    song_.reset();
    beep_.reset();
    if (device_end_ == SdlAudio::DeviceEnd::kWithProcess) return;
    if (open_) Mix_CloseAudio();
    if (mid_) Mix_Quit();
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool Device() {
    if (tried_) return open_;
    tried_ = true;
    SilenceAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    open_ = Mix_OpenAudio(kSampleRate, AUDIO_S16SYS, 2, kChunkSamples) == 0;
    return open_;
  }

  void Handle(SdlAudio::Command& c) {
    using Kind = SdlAudio::Command::Kind;
    if (c.kind == Kind::kProbeDevice) {
      c.ready->set_value(Device());
      return;
    }
    if (!Device()) return;
    switch (c.kind) {
      case Kind::kPlayWave:
        PlayWave(c);
        break;
      case Kind::kStopWave:
        if (wave_) Mix_HaltMusic();
        wave_.reset();
        break;
      case Kind::kLoadSong:
        LoadSong(c.bytes);
        break;
      case Kind::kPlaySong:
        if (song_) Mix_PlayMusic(song_.get(), 0);
        break;
      case Kind::kResumeSong:
        Mix_ResumeMusic();
        break;
      case Kind::kPauseSong:
        Mix_PauseMusic();
        break;
      case Kind::kRewindSong:
        Rewind();
        break;
      case Kind::kCloseSong:
        if (song_) Mix_HaltMusic();
        Mix_ResumeMusic();
        song_.reset();
        song_bytes_.reset();
        fluid_ = {};
        break;
      case Kind::kBeep:
        Beep();
        break;
      case Kind::kProbeDevice:
      case Kind::kQuit:
        break;
    }
  }

 private:
  void PlayWave(SdlAudio::Command& c) {
    if (wave_ || song_) Mix_HaltMusic();
    wave_.reset();
    // Streamed from the file, whatever its length: memory stays flat.
    FILE* file = fdopen(c.fd.Get(), "rb");
    if (file == nullptr) return;
    c.fd.Release();
    SDL_RWops* rw = SDL_RWFromFP(file, SDL_TRUE);
    if (rw == nullptr) {
      std::fclose(file);
      return;
    }
    wave_.reset(Mix_LoadMUSType_RW(rw, MUS_WAV, 1));
    if (wave_) Mix_PlayMusic(wave_.get(), c.loop ? -1 : 0);
  }

  bool Synthesiser() {
    if (synth_tried_) return mid_;
    synth_tried_ = true;
    // The mixer's own search knows one soundfont path only.
    if (std::getenv("SDL_SOUNDFONTS") == nullptr) {
      const std::string found = FindSoundFont();
      if (!found.empty()) Mix_SetSoundFonts(found.c_str());
    }
    mid_ = (Mix_Init(MIX_INIT_MID) & MIX_INIT_MID) != 0;
    if (mid_) SilenceFluidSynth();
    return mid_;
  }

  // A player of the song, and FluidSynth's player inside it if it is one.
  MusicPtr Load(const std::vector<uint8_t>& bytes, FluidPlayer& fluid) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    MusicPtr music(rw != nullptr ? Mix_LoadMUSType_RW(rw, MUS_MID, 1) : nullptr);
    const FluidPlayer made = TakeMadeFluidPlayer();
    fluid = music ? made : FluidPlayer{};
    return music;
  }

  void LoadSong(const std::shared_ptr<const std::vector<uint8_t>>& bytes) {
    if (wave_ || song_) Mix_HaltMusic();
    wave_.reset();
    song_.reset();
    song_bytes_.reset();
    fluid_ = {};
    if (!bytes || !Synthesiser()) return;
    song_ = Load(*bytes, fluid_);
    if (song_) song_bytes_ = bytes;
  }

  // A stopped FluidSynth player resumes where it stopped, and the mixer
  // cannot seek it: the song gets a fresh player on the same synthesiser,
  // which holds the soundfont's whole instrument tree (loading another
  // would double it, and take long enough to be heard). Other synthesisers
  // start from the top on the next play.
  void Rewind() {
    if (!song_bytes_) return;
    Mix_HaltMusic();
    Mix_ResumeMusic();  // a paused mixer would keep the next song silent
    if (!fluid_.player || RestartFluidSong(fluid_, *song_bytes_)) return;
    song_.reset();  // left without a player: loaded again from scratch
    song_ = Load(*song_bytes_, fluid_);
  }

  void Beep() {
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
        for (int ch = 0; ch < channels; ++ch) {
          beep_samples_[static_cast<std::size_t>(i) * channels + ch] = static_cast<int16_t>(v);
        }
      }
      beep_.reset(Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(beep_samples_.data()),
                                    static_cast<Uint32>(beep_samples_.size() * sizeof(int16_t))));
    }
    if (beep_) Mix_PlayChannel(-1, beep_.get(), 0);
  }

  const SdlAudio::DeviceEnd device_end_;
  bool tried_ = false;
  bool subsystem_ = false;
  bool open_ = false;
  bool synth_tried_ = false;
  bool mid_ = false;
  // The bytes outlive every player that reads them.
  std::shared_ptr<const std::vector<uint8_t>> song_bytes_;
  MusicPtr song_;
  FluidPlayer fluid_;  // within song_, when FluidSynth plays it
  MusicPtr wave_;
  std::vector<int16_t> beep_samples_;
  ChunkPtr beep_;
};

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

SdlAudio::SdlAudio(DeviceEnd device_end) : device_end_(device_end), worker_([this] { Run(); }) {}

SdlAudio::~SdlAudio() {
  Post(Command{Command::Kind::kQuit});
  if (worker_.joinable()) worker_.join();
}

// SDL keeps per-thread data (its error text) that it frees by itself only
// for threads it created.
struct SdlThreadData {
  SdlThreadData() = default;
  SdlThreadData(const SdlThreadData&) = delete;
  SdlThreadData& operator=(const SdlThreadData&) = delete;
  ~SdlThreadData() { SDL_TLSCleanup(); }
};

void SdlAudio::Run() {
  const SdlThreadData thread_data;  // released after the mixer
  Mixer mixer(device_end_);
  for (;;) {
    Command command;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !queue_.empty(); });
      command = std::move(queue_.front());
      queue_.pop_front();
    }
    if (command.kind == Command::Kind::kQuit) return;
    mixer.Handle(command);
  }
}

void SdlAudio::Post(Command command) {
  {
    std::lock_guard lock(mutex_);
    using Kind = Command::Kind;
    if (command.kind == Kind::kRewindSong) {
      // What was asked since the song was loaded is undone by the rewind:
      // a sound thread held up by the synthesiser catches up with one.
      while (!queue_.empty()) {
        const Kind last = queue_.back().kind;
        if (last != Kind::kPlaySong && last != Kind::kResumeSong && last != Kind::kPauseSong &&
            last != Kind::kRewindSong) {
          break;
        }
        queue_.pop_back();
      }
    }
    queue_.push_back(std::move(command));
  }
  wake_.notify_one();
}

bool SdlAudio::DeviceReady() {
  Command probe{Command::Kind::kProbeDevice};
  probe.ready = std::make_shared<std::promise<bool>>();
  std::future<bool> ready = probe.ready->get_future();
  Post(std::move(probe));
  return ready.get();
}

int32_t SdlAudio::SndPlaySound(std::string_view file_name, uint32_t flags) {
  Post(Command{Command::Kind::kStopWave});
  if (file_name.empty()) return 1;  // an empty name only silences the wave player
  UniqueFd fd = OpenRegular(std::string(file_name));
  if (!fd) return 0;
  uint8_t head[kWaveHeaderBytes];
  const ssize_t n = ::pread(fd.Get(), head, sizeof head, 0);
  if (n <= 0 || !ReadWaveHeader(std::span<const uint8_t>(head, static_cast<std::size_t>(n)))) {
    return 0;  // not a wave the player streams
  }
  Command play{Command::Kind::kPlayWave};
  play.fd = std::move(fd);
  play.loop = (flags & kSndLoop) != 0;
  Post(std::move(play));
  return 1;
}

uint32_t SdlAudio::Open(const std::string& path, const std::string& alias) {
  if (song_) return song_->alias == alias ? kMciErrDuplicateAlias : kMciErrDeviceOpen;
  // Read once and hand the same bytes to the sound thread, so what was
  // checked is what plays even if the file changes or vanishes meanwhile.
  UniqueFd fd = OpenRegular(path);
  if (!fd) return kMciErrFileNotFound;
  std::optional<std::vector<uint8_t>> bytes = ReadHead(fd.Get(), kMaxMidiFileBytes);
  if (!bytes) return kMciErrFileNotFound;
  MidiResult info = ReadMidiFile(*bytes);
  const MidiSummary* summary = std::get_if<MidiSummary>(&info);
  if (summary == nullptr || CheckMidiLoad(*summary) || summary->length_ms < kMinSongMs) {
    return kMciErrInvalidFile;
  }
  song_ = Song{alias, summary->length_ms, Song::Position::kAtStart};
  Command load{Command::Kind::kLoadSong};
  load.bytes = std::make_shared<const std::vector<uint8_t>>(std::move(*bytes));
  Post(std::move(load));
  return 0;
}

uint32_t SdlAudio::MciSendString(std::string_view command, char* reply, uint32_t reply_size) {
  std::optional<MciCommand> cmd = ParseMciCommand(command);
  if (!cmd) return kMciErrUnrecognizedCommand;
  if (cmd->kind == MciKind::kCapabilityCanPlay) {
    if (cmd->alias != "sequencer") return kMciErrInvalidDeviceName;
    // A synthesiser needs instruments; whether the device then opens is
    // the sound thread's to find out, and silence is the answer if not.
    return WriteMciReply(SoundFontToUse().empty() ? "false" : "true", reply, reply_size);
  }
  if (cmd->kind == MciKind::kOpen) {
    uint32_t result = Open(cmd->path, cmd->alias);
    return result != 0 ? result : WriteMciReply("", reply, reply_size);
  }
  if (!song_ || song_->alias != cmd->alias) return kMciErrInvalidDeviceName;
  Song& song = *song_;
  using Kind = Command::Kind;
  switch (cmd->kind) {
    case MciKind::kSetTimeFormatMs:
      break;  // milliseconds are the only format kept
    case MciKind::kStatusLength:
      return WriteMciReply(std::to_string(song.length_ms), reply, reply_size);
    case MciKind::kPlayNotify:
      if (song.position == Song::Position::kAtStart) {
        Post(Command{Kind::kPlaySong});
      } else if (song.position == Song::Position::kStopped) {
        Post(Command{Kind::kResumeSong});
      }
      // Playing on from where it is, or from its end: nothing to do.
      song.position = Song::Position::kPlaying;
      break;
    case MciKind::kSeekToStart:
      Post(Command{Kind::kRewindSong});
      song.position = Song::Position::kAtStart;
      break;
    case MciKind::kStop:
      if (song.position == Song::Position::kPlaying) {
        Post(Command{Kind::kPauseSong});
        song.position = Song::Position::kStopped;
      }
      break;
    case MciKind::kClose:
      Post(Command{Kind::kCloseSong});
      song_.reset();
      break;
    case MciKind::kCapabilityCanPlay:
    case MciKind::kOpen:
      break;
  }
  return WriteMciReply("", reply, reply_size);
}

void SdlAudio::Beep() { Post(Command{Command::Kind::kBeep}); }

}  // namespace zt
