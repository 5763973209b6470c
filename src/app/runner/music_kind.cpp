#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/runner/music_files.h"

namespace zt {

std::optional<MusicFile> MusicOfKind(const std::string& path, std::string_view head,
                                     std::string& error) {
  std::string extension;
  if (const size_t dot = path.rfind('.');
      dot != std::string::npos && path.find_first_of("/\\", dot) == std::string::npos) {
    extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  if (extension == "wav" || extension == "wave") return MusicFile{path, false};
  if (extension == "mid" || extension == "midi" || extension == "kar" || extension == "smf") {
    return MusicFile{path, true};
  }
  const size_t got = head.size();
  if (got >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
      std::memcmp(head.data() + 8, "WAVE", 4) == 0) {
    return MusicFile{path, false};
  }
  if (got >= 4 && (std::memcmp(head.data(), "MThd", 4) == 0 ||
                   (got >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
                    std::memcmp(head.data() + 8, "RMID", 4) == 0))) {
    return MusicFile{path, true};
  }
  error = "'" + path + "' is neither a wave nor a MIDI file; no music";
  return std::nullopt;
}

}  // namespace zt
