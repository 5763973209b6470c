#include "app/runner/render.h"

#include <stdlib.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "app/form1.h"
#include "app/runner/render_canvas.h"
#include "app/runner/render_progress.h"
#include "base/scene_observer.h"
#include "surface/events/quit_signals.h"
#include "surface/headless/headless.h"
#include "surface/random/random.h"
#if defined(_WIN32)
#include "surface/win32/gdi_text.h"
#else
#include "surface/text/font_rasterizer.h"
#endif

namespace zt {

namespace {

namespace fs = std::filesystem;

CalendarTime LocalNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour,        tm.tm_min,     static_cast<double>(tm.tm_sec)};
}

std::string Shortest(float v) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : "0";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Triple(int a, int b, int c) {
  return "[" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "]";
}

struct RenderFailed {
  std::string message;
};

// Records each figure as the scene cycle draws it and stops after the last.
class RenderObserver : public SceneObserver {
 public:
  RenderObserver(const Options& options, const LayeredCanvas& canvas, const fs::path& staging,
                 std::ostream& jsonl, RenderProgress& progress)
      : options_(options), canvas_(canvas), staging_(staging), jsonl_(jsonl), progress_(progress) {}

  void OnStatusLine(const std::string& text, float x, float y) override {
    status_line_ =
        "{\"text\":" + JsonString(text) + ",\"x\":" + Shortest(x) + ",\"y\":" + Shortest(y) + "}";
  }

  void OnFigureStart(const SceneState& s) override {
    ++figure_;
    steps_ = 0;
    std::ostringstream o;
    o << "{\"figure\":" << figure_ << ",\"width\":" << s.ScreenWidth
      << ",\"height\":" << s.ScreenHeight << ",\"palette_mode\":" << s.PaletteMode
      << ",\"backdrop_kind\":" << s.BackdropKind << ",\"cycle_count\":" << s.CycleCount
      << ",\"tilt_degrees\":" << s.TiltDegrees << ",\"turn_degrees\":" << s.TurnDegrees
      << ",\"steep_tilt\":" << s.SteepTilt << ",\"z_frequency\":" << s.ZFrequency
      << ",\"step_degrees\":" << Shortest(s.StepDegrees) << ",\"step_delay\":" << s.StepDelay
      << ",\"sweep_start\":" << s.SweepStart << ",\"spin_rate\":" << s.SpinRate
      << ",\"color_scheme\":" << s.ColorScheme
      << ",\"line_start\":" << Triple(s.LineRed, s.LineGreen, s.LineBlue)
      << ",\"dirs_start\":" << Triple(s.RedDir, s.GreenDir, s.BlueDir)
      << ",\"last_color_step_start\":" << s.LastColorStep
      << ",\"caption\":" << Triple(s.CaptionRed, s.CaptionGreen, s.CaptionBlue)
      << ",\"figure_min_y\":" << s.FigureMinY << ",\"figure_max_y\":" << s.FigureMaxY
      << ",\"figure_offset_y\":" << s.FigureOffsetY;
    head_ = o.str();
  }

  void OnSpoke(const SceneState&) override {
    ++steps_;
    if (QuitSignals::Take()) throw RenderFailed{"interrupted"};
  }

  void OnFigureDrawn(const SceneState& s) override {
    char name[32];
    std::snprintf(name, sizeof name, "figure-%04lld.png", static_cast<long long>(figure_));
    std::string image = "null";
    if (!options_.no_images) {
      // Images are encoded on threads of their own while the next figures
      // are drawn: two at a time, or one where an image is very large.
      constexpr size_t kTwoInFlightBytes = size_t{32} << 20;
      const size_t bytes = static_cast<size_t>(canvas_.Width()) *
                           static_cast<size_t>(canvas_.Height()) * (s.PaletteMode ? 1 : 3);
      FinishImages(bytes <= kTwoInFlightBytes ? 1 : 0);
      // The memory of an image already written is used again.
      PngPicture picture;
      if (!spare_.empty()) {
        picture = std::move(spare_.back());
        spare_.pop_back();
      }
      TakePicture(canvas_, picture);
      auto write = [picture = std::move(picture), staged = staging_ / name,
                    target = fs::path(*options_.render_dir) / name]() mutable {
        Written done;
        if (WritePng(picture, staged.string(), done.error)) {
          // Whole into place: a link or file planted under
          // the name is replaced, never written through.
          std::error_code ec;
          fs::rename(staged, target, ec);
          if (ec) done.error = "cannot write " + target.string();
        }
        done.picture = std::move(picture);
        return done;
      };
      // Where no thread can be started the image is written when it is
      // waited for.
      encoding_.push_back(std::async(std::launch::async | std::launch::deferred, std::move(write)));
      image = JsonString(name);
    }
    jsonl_ << head_ << ",\"steps\":" << steps_
           << ",\"line_end\":" << Triple(s.LineRed, s.LineGreen, s.LineBlue)
           << ",\"status_line\":" << (status_line_.empty() ? "null" : status_line_)
           << ",\"image\":" << image << "}\n";
    status_line_.clear();
    if (!jsonl_) throw RenderFailed{"cannot write figures.jsonl"};
    if (figure_ >= options_.figures) FinishImages(0);
    progress_.FigureDone(figure_);
    if (figure_ >= options_.figures) {
      done_ = true;
      throw ProgramExit{0};
    }
  }

  // False when the run ended before the last figure: a termination signal
  // taken by the pump as a close request.
  bool Done() const { return done_; }

 private:
  const Options& options_;
  const LayeredCanvas& canvas_;
  const fs::path& staging_;
  std::ostream& jsonl_;
  RenderProgress& progress_;
  int64_t figure_ = 0;
  int64_t steps_ = 0;
  bool done_ = false;
  std::string head_;
  std::string status_line_;
  struct Written {
    std::string error;
    PngPicture picture;  // handed back for the next image
  };
  std::vector<PngPicture> spare_;
  // Last, so that however the run ends the images in flight are finished
  // before anything they use goes away.
  std::deque<std::future<Written>> encoding_;

  // Waits until at most `left` images are still being written.
  void FinishImages(size_t left) {
    while (encoding_.size() > left) {
      Written done = encoding_.front().get();
      encoding_.pop_front();
      if (!done.error.empty()) throw RenderFailed{done.error};
      spare_.push_back(std::move(done.picture));
    }
  }
};

// A folder of this run's own inside the output folder, made with a fresh
// name only this process can write: every file is written there and moved
// into place whole. Removed with whatever is left in it, however the run ends.
class StagingFolder {
 public:
  explicit StagingFolder(const fs::path& dir) {
#if defined(_WIN32)
    // No mkdtemp: a fresh name is whatever create_directory makes anew.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const fs::path candidate = dir / (".zolven-taris-" + std::to_string(random()));
      std::error_code ec;
      if (fs::create_directory(candidate, ec)) path_ = candidate;
    }
#else
    std::string pattern = (dir / ".zolven-taris-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
  }
  ~StagingFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

int RunRender(const Options& options, std::ostream& err) {
  // Before anything is created, so an interruption always finds the
  // staging folder to remove.
  QuitSignals signals;
#if defined(__GLIBC__)
  // A column backdrop gives rows cells of their own and then shares them
  // again; trimming the heap after each would hand the pages back to the
  // kernel only to fault them in at the next, a tenth of the run.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
  const fs::path dir(*options.render_dir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  StagingFolder staging(dir);
  const fs::path part_jsonl = staging.path() / "figures.jsonl";
  std::ofstream jsonl;
  if (!staging.path().empty()) jsonl.open(part_jsonl, std::ios::binary | std::ios::trunc);
  if (!jsonl.is_open() || !jsonl) {
    err << "zolven-taris: cannot write into '" << dir.string() << "'\n";
    return 1;
  }

  VirtualClock clock(options.start_time ? *options.start_time : LocalNow());
  HeadlessEvents events(clock);
#if defined(_WIN32)
  GdiTextRasterizer text;
#else
  FontRasterizer text;
#endif
  CanvasConfig config;
  config.width = options.width;
  config.height = options.height;
  config.twips_per_pixel = 15;
  config.bits_per_pixel = options.colors256 ? 8 : 32;
  RenderCanvas canvas(config, &text);
  const uint64_t seed = options.seed ? *options.seed : std::random_device{}();
  SeededRandom random(clock, seed);
  HeadlessHost host;
  SilentAudio audio;
  // Progress only for a person watching a terminal.
  RenderProgress progress(err, &err == &std::cerr && isatty(STDERR_FILENO) == 1, options.figures);
  RenderObserver observer(options, canvas, staging.path(), jsonl, progress);
  Platform platform{canvas, events, clock, random, host, audio, &observer};

  SceneState state;
  FormOptions form_options;
  form_options.music = false;
  form_options.single_instance = false;
  try {
    // Ends after the last figure is written.
    RunForm(state, platform, form_options);
    if (!observer.Done()) throw RenderFailed{"interrupted"};
  } catch (const RenderFailed& failure) {
    progress.Clear();
    err << "zolven-taris: " << failure.message << "\n";
    return 1;
  }
  jsonl.close();
  if (jsonl) fs::rename(part_jsonl, dir / "figures.jsonl", ec);
  if (!jsonl || ec) {
    progress.Clear();
    err << "zolven-taris: cannot write figures.jsonl\n";
    return 1;
  }
  progress.Finish(options.figures, dir.string());
  return 0;
}

}  // namespace zt
