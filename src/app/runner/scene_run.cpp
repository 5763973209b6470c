#include "app/runner/scene_run.h"

#include <iostream>
#include <optional>
#include <string>

#include "app/runner/music_files.h"
#include "app/runner/pacing.h"
#include "surface/random/random.h"

namespace zt {

int RunScene(LayeredCanvas& canvas, Events& events, Clock& clock, Host& host, Audio& audio,
             const Options& options, FormOptions form_options) {
  PacedEvents paced(events, options.speed);
  std::optional<FpsMeter> fps;
  if (options.fps) fps.emplace(canvas, clock);
  SeededRandom random(clock, options.seed);
  std::vector<MusicFile> files;
  if (options.no_music) form_options.music = false;
  if (form_options.music && options.music_file) {
    std::string error;
    if (const std::optional<MusicFile> named = NamedMusic(*options.music_file, error)) {
      files.push_back(*named);
    } else {
      std::cerr << "zolven-taris: " << error << "\n";
      form_options.music = false;
    }
  } else if (form_options.music) {
    files = MusicSearch(host.AppPath(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  }
  MusicHost music_host(host, std::move(files));
  Platform platform{canvas, paced, clock, random, music_host, audio, fps ? &*fps : nullptr};
  SceneState state;
  return RunForm(state, platform, form_options);
}

}  // namespace zt
