#pragma once
// Where the music comes from on a desktop: a file the user names, or the
// two usual names looked for next to the program, in the user's data
// folder and in the system's.
#include <optional>
#include <string>
#include <vector>

#include "surface/platform.h"

namespace zt {

// The search, folder by folder, the wave file before the MIDI song in each:
// `app_dir`, then $XDG_DATA_HOME/zolven-taris (`xdg_data_home`, else
// `home`/.local/share/zolven-taris), then /usr/share/zolven-taris.
std::vector<MusicFile> MusicSearch(const std::string& app_dir, const char* xdg_data_home,
                                   const char* home);

// A file named with --music: its kind by its extension, else by its first
// bytes. Nothing, with `error` set, when it cannot be read or is neither.
std::optional<MusicFile> NamedMusic(const std::string& path, std::string& error);

// A host whose music files are `files`; everything else comes from `inner`.
class MusicHost : public Host {
 public:
  MusicHost(Host& inner, std::vector<MusicFile> files) : inner_(inner), files_(std::move(files)) {}
  std::vector<MusicFile> MusicFiles() override { return files_; }
  bool PreviousInstance() override { return inner_.PreviousInstance(); }
  std::string AppPath() override { return inner_.AppPath(); }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  char PathSeparator() const override { return inner_.PathSeparator(); }

 private:
  Host& inner_;
  std::vector<MusicFile> files_;
};

}  // namespace zt
