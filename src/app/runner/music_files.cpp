#include "app/runner/music_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "surface/os/posix_host.h"

namespace zt {

std::vector<MusicFile> MusicSearch(const std::string& app_dir, const char* xdg_data_home,
                                   const char* home) {
  std::vector<std::string> folders{app_dir};
  // A relative XDG_DATA_HOME is to be ignored, as the XDG rules say.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
    folders.push_back(std::string(xdg_data_home) + "/zolven-taris");
  } else if (home != nullptr && home[0] == '/') {
    folders.push_back(std::string(home) + "/.local/share/zolven-taris");
  }
  folders.emplace_back("/usr/share/zolven-taris");
  std::vector<MusicFile> files;
  for (std::string folder : folders) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    files.push_back({folder + "zt-bgm.wav", false});
    files.push_back({folder + "zt-bgm.mid", true});
  }
  return files;
}

std::optional<MusicFile> NamedMusic(const std::string& path, std::string& error) {
  std::string extension;
  if (const size_t dot = path.rfind('.');
      dot != std::string::npos && path.find('/', dot) == std::string::npos) {
    extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  // Not blocking on a pipe or a device: only a regular file is read.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "cannot read the music file '" + path + "'; no music";
    return std::nullopt;
  }
  if (extension == "wav" || extension == "wave") return MusicFile{path, false};
  if (extension == "mid" || extension == "midi" || extension == "kar" || extension == "smf") {
    return MusicFile{path, true};
  }
  char head[12] = {};
  const ssize_t got = read(fd.Get(), head, sizeof head);
  if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
    return MusicFile{path, false};
  }
  if (got >= 4 &&
      (std::memcmp(head, "MThd", 4) == 0 ||
       (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "RMID", 4) == 0))) {
    return MusicFile{path, true};
  }
  error = "'" + path + "' is neither a wave nor a MIDI file; no music";
  return std::nullopt;
}

}  // namespace zt
