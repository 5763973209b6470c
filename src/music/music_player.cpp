#include "music/music_player.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt {
namespace {

constexpr std::string_view kWaveName = "zt-bgm.wav";
constexpr std::string_view kMidiName = "zt-bgm.mid";
constexpr uint32_t kWaveLoopFlags = kSndFilename | kSndLoop | kSndAsync;
constexpr std::size_t kStartReplySize = 40;

// The music must never take the display down: a statement that fails is
// skipped and the next one runs. Returns false when `f` threw; ProgramExit is
// not an error and passes through.
template <typename F>
bool Try(F&& f) {
  try {
    f();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// A reply is the text before its first NUL, without surrounding spaces.
std::string ReplyText(const char* buffer, std::size_t size) {
  std::string_view text(buffer, std::find(buffer, buffer + size, '\0') - buffer);
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

// The numeric value of a length reply, rounded to even into 32 bits; nothing
// when the reply is not a number or does not fit.
std::optional<int32_t> ParseLength(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  double rounded = std::nearbyint(value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

// Sends one command with `reply` as the buffer; nothing when the command
// could not be sent at all.
template <std::size_t N>
std::optional<uint32_t> SendRaw(Audio& audio, std::string_view command,
                                std::array<char, N>& reply) {
  uint32_t result = 0;
  reply.fill('\0');
  bool sent = Try([&] { result = audio.MciSendString(command, reply.data(), N); });
  reply.back() = '\0';
  if (!sent) return std::nullopt;
  return result;
}

// Failure is a non-zero result or a command that could not be sent.
template <std::size_t N>
bool Send(Audio& audio, std::string_view command, std::array<char, N>& reply) {
  std::optional<uint32_t> result = SendRaw(audio, command, reply);
  return result && *result == 0;
}

// Sends with the shared reply buffer and keeps the result in MciResult.
bool SendRecorded(SceneState& s, Platform& p, std::string_view command) {
  std::optional<uint32_t> result = SendRaw(p.audio, command, s.MciReply);
  if (result) s.MciResult = static_cast<int32_t>(*result);
  return result && *result == 0;
}

void CloseAfterFailure(SceneState& s, Platform& p) {
  SendRecorded(s, p, "close bgm");
  s.MusicMode = 0;
}

}  // namespace

void StartMusic(SceneState& s, Platform& p) {
  bool error = false;
  auto step = [&error](auto&& f) {
    bool ok = Try(f);
    error = error || !ok;
    return ok;
  };

  std::vector<MusicFile> files;
  step([&] { files = p.host.MusicFiles(); });
  if (files.empty()) {
    std::string folder;
    step([&] {
      folder = p.host.AppPath();
      char sep = p.host.PathSeparator();
      if (folder.empty() || folder.back() != sep) folder += sep;
    });
    files = {{folder + std::string(kWaveName), false}, {folder + std::string(kMidiName), true}};
  }
  s.MusicMode = 0;

  // The first file that exists decides; a wave file is looped as it is.
  const MusicFile* found = nullptr;
  for (const MusicFile& file : files) {
    bool exists = false;
    step([&] { exists = p.host.FileExists(file.path); });
    if (exists) {
      found = &file;
      break;
    }
  }
  if (found == nullptr) return;
  if (!found->midi) {
    int32_t played = 0;
    step([&] { played = p.audio.SndPlaySound(found->path, kWaveLoopFlags); });
    s.ApiResult = played;
    // A wave player that refuses the file (no device, not audio) means no music.
    s.MusicMode = (error || played == 0) ? 0 : 1;
    return;
  }
  const std::string& midi_path = found->path;

  std::array<char, kStartReplySize> reply{};
  if (!Send(p.audio, "capability sequencer can play", reply)) return;
  if (ReplyText(reply.data(), reply.size()) != "true") return;
  s.MusicMode = 2;

  s.MciRewindCommand = "seek bgm to start";
  s.MciPlayCommand = "play bgm notify";

  if (!Send(p.audio, "open " + midi_path + " alias bgm", reply)) {
    s.MusicMode = 0;
    return;  // nothing was opened, so nothing to close
  }

  if (!Send(p.audio, "set bgm time format ms", reply) ||
      !Send(p.audio, "status bgm length", reply)) {
    CloseAfterFailure(s, p);
    return;
  }
  if (std::optional<int32_t> length = ParseLength(ReplyText(reply.data(), reply.size()))) {
    s.MidiLengthMs = *length;
  }
  // A song without length would re-arm the timer with no pause at all.
  if (s.MidiLengthMs <= 0) {
    CloseAfterFailure(s, p);
    return;
  }
  s.MidiState = 1;

  if (!Send(p.audio, "play bgm notify", reply)) {
    CloseAfterFailure(s, p);
    return;
  }
  s.MidiState = 2;

  Try([&] { p.events.SetTimer1Interval(s.MidiLengthMs); });
  Try([&] { p.events.SetTimer1Enabled(true); });
}

void StopMusic(SceneState& s, Platform& p) {
  s.MusicMode = 0;
  Try([&] { p.events.SetTimer1Enabled(false); });
  if (s.MidiState == 2) {
    SendRecorded(s, p, "stop bgm");
    SendRecorded(s, p, "close bgm");
  } else if (s.MidiState == 1) {
    SendRecorded(s, p, "close bgm");
  }
}

void Timer1_Timer(SceneState& s, Platform& p) {
  if (s.MusicMode != 2) {
    Try([&] { p.events.SetTimer1Enabled(false); });
    return;
  }
  if (!SendRecorded(s, p, s.MciRewindCommand) || !Send(p.audio, s.MciPlayCommand, s.MciReply)) {
    Try([&] { p.audio.Beep(); });
    StopMusic(s, p);
  }
}

}  // namespace zt
