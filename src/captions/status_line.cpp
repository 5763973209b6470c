#include <string>

#include "base/numeric.h"
#include "base/scene_observer.h"
#include "captions/captions.h"
#include "captions/status_text.h"

namespace zt {

void PrintStatusLine(SceneState& s, Platform& p) {
  Canvas& canvas = p.canvas;
  canvas.SetFontBold(true);
  canvas.SetFontItalic(true);
  const int64_t points = FloorInt(static_cast<double>(s.TwipsPerPixel * 20) / 15.0);
  canvas.SetFontSize(ToSingle(static_cast<double>(points) * static_cast<double>(s.LayoutScale)));
  canvas.SetForeColor(PackRgb(s.CaptionRed, s.CaptionGreen, s.CaptionBlue));
  canvas.SetFontName(kCaptionFace);

  // Near the left edge at a random height that keeps the text on screen.
  const float x = 10.0f * s.LayoutScale;
  const double r = p.random.Rnd();
  const float y = static_cast<float>(FloorInt(r * static_cast<double>(s.ScreenHeight - 30)) + 10);
  canvas.SetCurrentX(x);
  canvas.SetCurrentY(y);

  const int32_t hour = p.clock.Now().hour;
  const char* marker = HourMarker(hour);
  const std::string hour_text = HourText(DialHour(hour));
  const CalendarTime today = p.clock.Now();
  const float timer = p.clock.Timer();
  s.ElapsedMinutes = ElapsedMinutesSince(s.StartEpochSeconds, today, timer);
  const std::string date = DateText(p.clock.Now());
  const int32_t minute = p.clock.Now().minute;

  const std::string text =
      ComposeStatusLine(date, marker, hour_text, MinuteText(minute), s.ElapsedMinutes);
  canvas.Print(text);
  if (p.observer != nullptr) p.observer->OnStatusLine(text, x, y);
}

}  // namespace zt
