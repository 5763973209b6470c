#pragma once
// The render mode's progress on a terminal: one line redrawn in place while
// figures are written, and one summary at the end. Silent otherwise, so
// a log or a pipe gets nothing extra.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace zt {

class RenderProgress {
 public:
  using Clock = std::chrono::steady_clock;
  // `shown`: whether `out` is a terminal.
  RenderProgress(std::ostream& out, bool shown, int64_t total);
  // Figure `done` of the total is written.
  void FigureDone(int64_t done);
  // The last figure is written into `where`: the summary replaces the line.
  void Finish(int64_t done, const std::string& where);
  // Takes the line away, for a message that follows.
  void Clear();

  // The progress line after `done` figures in `elapsed` seconds.
  static std::string Line(int64_t done, int64_t total, double elapsed);

 private:
  std::ostream& out_;
  bool shown_;
  int64_t total_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_{};
  bool drawn_ = false;
};

}  // namespace zt
