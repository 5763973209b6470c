#include "app/runner/render_progress.h"

#include <cmath>
#include <cstdio>

namespace zt {
namespace {

double SecondsSince(RenderProgress::Clock::time_point start) {
  return std::chrono::duration<double>(RenderProgress::Clock::now() - start).count();
}

std::string Duration(double seconds) {
  char text[32];
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else {
    const auto whole = static_cast<long long>(std::lround(seconds));
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

RenderProgress::RenderProgress(std::ostream& out, bool shown, int64_t total)
    : out_(out), shown_(shown), total_(total) {}

std::string RenderProgress::Line(int64_t done, int64_t total, double elapsed) {
  const double rate = elapsed > 0 ? done / elapsed : 0;
  char text[128];
  if (rate <= 0) {
    std::snprintf(text, sizeof text, "figure %lld of %lld", static_cast<long long>(done),
                  static_cast<long long>(total));
    return text;
  }
  std::snprintf(text, sizeof text, "figure %lld of %lld, %.2f figures/s, %s left",
                static_cast<long long>(done), static_cast<long long>(total), rate,
                Duration((total - done) / rate).c_str());
  return text;
}

void RenderProgress::FigureDone(int64_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  // A few redraws a second are enough to read, and cheap for fast renders.
  if (drawn_ && done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  drawn_ = true;
  out_ << "\r" << Line(done, total_, SecondsSince(start_)) << "\x1b[K" << std::flush;
}

void RenderProgress::Finish(int64_t done, const std::string& where) {
  if (!shown_) return;
  const double elapsed = SecondsSince(start_);
  char rate[48] = "";
  if (elapsed > 0) std::snprintf(rate, sizeof rate, " (%.2f figures/s)", done / elapsed);
  out_ << "\r\x1b[K" << done << (done == 1 ? " figure" : " figures") << " in " << Duration(elapsed)
       << rate << " written into " << where << "\n"
       << std::flush;
  drawn_ = false;
}

void RenderProgress::Clear() {
  if (shown_ && drawn_) out_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace zt
