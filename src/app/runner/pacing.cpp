#include "app/runner/pacing.h"

#include <sys/resource.h>

#include <cstdio>

namespace zt {
namespace {

double CpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

void FpsMeter::OnSpoke(const SceneState&) {
  const int64_t now = clock_.MonotonicMs();
  if (since_ms_ < 0) {
    since_ms_ = now;
    cpu_since_s_ = CpuSeconds();
    return;
  }
  ++spokes_;
  const int64_t elapsed = now - since_ms_;
  if (elapsed < 1000) return;
  const double cpu = CpuSeconds();
  char text[64];
  std::snprintf(text, sizeof text, "%.1f spokes/s  CPU %.1f%%", spokes_ * 1000.0 / elapsed,
                (cpu - cpu_since_s_) * 100000.0 / elapsed);
  canvas_.SetOverlayText(text);
  spokes_ = 0;
  since_ms_ = now;
  cpu_since_s_ = cpu;
}

}  // namespace zt
