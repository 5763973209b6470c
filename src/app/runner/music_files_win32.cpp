// A music file named in the settings or with --music, on Windows.
#include <windows.h>

#include "app/runner/music_files.h"

namespace zt {

std::optional<MusicFile> NamedMusic(const std::string& path, std::string& error) {
  // Only a file on a disk is read: no pipe, device or folder.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot read the music file '" + path + "'; no music";
    return std::nullopt;
  }
  char head[12] = {};
  DWORD got = 0;
  const bool on_disk = GetFileType(file) == FILE_TYPE_DISK;
  if (on_disk && !ReadFile(file, head, sizeof head, &got, nullptr)) got = 0;
  CloseHandle(file);
  if (!on_disk) {
    error = "cannot read the music file '" + path + "'; no music";
    return std::nullopt;
  }
  return MusicOfKind(path, std::string_view(head, got), error);
}

}  // namespace zt
