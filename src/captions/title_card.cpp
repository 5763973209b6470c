#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "captions/captions.h"

namespace zt {
namespace {

struct TitleLine {
  const char* text;
  int32_t offset_x;  // from the screen centre, before layout scaling
  int32_t offset_y;
  int32_t size_factor;  // nominal height in 3/4 pixels at layout scale 1
};

// Placed by fixed offsets from the centre rather than by measuring the text.
constexpr TitleLine kTitleLines[] = {
    {"ZOLVEN TARIS", -110, -140, 26},
    {"*  Art of KORVANTE  *", -350, -60, 48},
    {"PRODUCED BY QRV", -90, 100, 16},
};

constexpr float kHoldSeconds = 3.0f;
constexpr double kSecondsPerDay = 86400.0;

float CentreOffset(int32_t centre, int32_t offset, float layout_scale) {
  const float scaled = static_cast<float>(offset) * layout_scale;
  return ToSingle(static_cast<double>(centre) + static_cast<double>(scaled));
}

// Points for a nominal height that stays the same in pixels whatever the
// display's twips per pixel.
float TitleFontSize(int32_t twips_per_pixel, int32_t factor, float layout_scale) {
  const int64_t points = FloorInt(static_cast<double>(twips_per_pixel * factor) / 15.0);
  return ToSingle(static_cast<double>(points) * static_cast<double>(layout_scale));
}

// Seconds since `start`, both timer readings; a reading below the start has
// passed midnight, where the timer restarts at 0.
float SecondsSince(float start, float reading) {
  double now = reading;
  if (reading < start) now += kSecondsPerDay;
  return ToSingle(now - static_cast<double>(start));
}

}  // namespace

void ShowTitleCard(SceneState& s, Platform& p) {
  Canvas& canvas = p.canvas;
  canvas.SetFontBold(true);
  canvas.SetFontItalic(true);
  canvas.SetForeColor(PackRgb(255, 200, 0));
  canvas.SetFontName(kCaptionFace);
  for (const TitleLine& line : kTitleLines) {
    canvas.SetCurrentX(CentreOffset(s.CenterX, line.offset_x, s.LayoutScale));
    canvas.SetCurrentY(CentreOffset(s.CenterY, line.offset_y, s.LayoutScale));
    canvas.SetFontSize(TitleFontSize(s.TwipsPerPixel, line.size_factor, s.LayoutScale));
    canvas.Print(line.text);
  }

  // Hold the card while staying responsive: sleep in the event wait until the
  // deadline instead of polling, so a click still ends the program at once.
  s.TitleStart = p.clock.Timer();
  for (;;) {
    const float elapsed = SecondsSince(s.TitleStart, p.clock.Timer());
    if (elapsed >= kHoldSeconds) return;
    const double remaining_ms = (static_cast<double>(kHoldSeconds) - elapsed) * 1000.0;
    const int32_t wait_ms = static_cast<int32_t>(std::max(1.0, std::ceil(remaining_ms)));
    p.events.WaitAndPump(wait_ms);
  }
}

}  // namespace zt
