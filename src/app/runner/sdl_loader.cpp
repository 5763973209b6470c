#include "app/runner/sdl_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "surface/headless/headless.h"

namespace zt {
namespace {

std::vector<std::string> Candidates() {
  std::vector<std::string> paths;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    // Installed under any prefix, then a build tree.
    paths.push_back((self.parent_path() / ".." / ZT_MODULE_SUBDIR / kSdlModuleFile).string());
    paths.push_back((self.parent_path() / kSdlModuleFile).string());
  }
  paths.push_back(std::string(ZT_MODULE_DIR) + "/" + kSdlModuleFile);
  return paths;
}

struct Loaded {
  const SdlModule* module = nullptr;
  std::string error;
};

Loaded Load() {
  Loaded loaded;
  for (const std::string& path : Candidates()) {
    if (access(path.c_str(), R_OK) != 0) continue;
    // Kept for the life of the process: SDL's threads run its code until the end.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      loaded.error = "cannot load " + path + " (" + (why != nullptr ? why : "unknown") + ")";
      return loaded;
    }
    using Entry = const SdlModule* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, kSdlModuleEntry));
    const SdlModule* module = entry != nullptr ? entry() : nullptr;
    if (module == nullptr || std::strcmp(module->version, ZT_VERSION) != 0) {
      loaded.error = path + " belongs to another version of the program";
      return loaded;
    }
    loaded.module = module;
    return loaded;
  }
  loaded.error =
      std::string("cannot find ") + kSdlModuleFile + " next to the program or in " + ZT_MODULE_DIR;
  return loaded;
}

}  // namespace

const SdlModule* LoadSdlModule(std::string& error) {
  static const Loaded loaded = Load();
  if (loaded.module == nullptr) error = loaded.error;
  return loaded.module;
}

Audio& LazySdlAudio::Get() {
  if (!tried_) {
    tried_ = true;
    std::string error;
    if (const SdlModule* module = LoadSdlModule(error)) audio_ = module->make_audio();
    if (!audio_) {
      std::fprintf(stderr, "zolven-taris: no sound: %s\n", error.c_str());
      audio_ = std::make_unique<SilentAudio>();
    }
  }
  return *audio_;
}

int32_t LazySdlAudio::SndPlaySound(std::string_view file_name, uint32_t flags) {
  return Get().SndPlaySound(file_name, flags);
}

uint32_t LazySdlAudio::MciSendString(std::string_view command, char* reply, uint32_t reply_size) {
  return Get().MciSendString(command, reply, reply_size);
}

void LazySdlAudio::Beep() { Get().Beep(); }

}  // namespace zt
