#include "backdrop/palette.h"

#include <cstdint>

namespace zt {
namespace {

// Our colours live in entries 1..236; 0 and 237..255 stay black all run.
constexpr int16_t kLastBackdropEntry = 99;
constexpr int16_t kCaptionEntry = 100;
constexpr int16_t kFirstFigureEntry = 101;
constexpr int16_t kLastRampEntry = 228;   // schemes 0..2: 128 ramp values
constexpr int16_t kLastDriftEntry = 220;  // scheme 3: one per multiple of 3 in 360
constexpr int16_t kLastOwnEntry = 236;

// Scheme-3 drift: channels move by 3 and turn once they reach these bounds.
constexpr int32_t kDriftStep = 3;
constexpr int32_t kDriftHigh = 240;
constexpr int32_t kDriftLow = 63;

void SetEntry(SceneState& s, int32_t index, int32_t red, int32_t green, int32_t blue) {
  s.PaletteEntries[static_cast<size_t>(index)] = PaletteEntry{
      static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue), 0};
}

// Entries 1..99 hold the backdrop's blue levels (entry 0 is the black level).
void WriteBackdropLevels(SceneState& s) {
  for (s.LoopIndex = 1; s.LoopIndex <= kLastBackdropEntry; ++s.LoopIndex) {
    SetEntry(s, s.LoopIndex, 0, 0, s.LoopIndex);
  }
}

// Entries nothing draws with, filled with distinct colours.
void WriteFillers(SceneState& s, int16_t first) {
  for (s.LoopIndex = first; s.LoopIndex <= kLastOwnEntry; ++s.LoopIndex) {
    SetEntry(s, s.LoopIndex, 1, s.LoopIndex, 1);
  }
}

void LoadPalette(SceneState& s, Platform& p) {
  s.ApiResult = p.canvas.SetPaletteEntries(0, 256, s.PaletteEntries.data());
  s.ApiResult = p.canvas.RealizePalette();
  p.events.Pump();
}

// Rounds up to the next multiple of 3; says whether the value changed.
bool AlignToThree(int16_t& value) {
  const int16_t rest = static_cast<int16_t>(value % 3);
  if (rest == 0) return false;
  value = static_cast<int16_t>(value + (3 - rest));
  return true;
}

void DriftChannel(int32_t& value, bool& rising) {
  if (rising) {
    value += kDriftStep;
    if (value >= kDriftHigh) rising = false;
  } else {
    value -= kDriftStep;
    if (value <= kDriftLow) rising = true;
  }
}

// The sweep drifts the line colour in steps of 3 at whole angles that are
// multiples of 3, so aligning the start and the channels makes the 120 colours
// after each step the only ones a scheme-3 figure can ask for.
void WriteDriftRamp(SceneState& s) {
  if (AlignToThree(s.SweepStart)) s.LastColorStep = s.SweepStart;
  AlignToThree(s.LineRed);
  AlignToThree(s.LineGreen);
  AlignToThree(s.LineBlue);

  int32_t red = s.LineRed;
  int32_t green = s.LineGreen;
  int32_t blue = s.LineBlue;
  // The sweep's own directions start the same way for every figure.
  bool red_rising = true;
  bool green_rising = true;
  bool blue_rising = false;
  for (s.LoopIndex = kFirstFigureEntry; s.LoopIndex <= kLastDriftEntry; ++s.LoopIndex) {
    DriftChannel(red, red_rising);
    DriftChannel(green, green_rising);
    DriftChannel(blue, blue_rising);
    SetEntry(s, s.LoopIndex, red, green, blue);
  }
  WriteFillers(s, kLastDriftEntry + 1);
}

// One channel follows depth in 128 even levels; the other two stay fixed.
void WriteDepthRamp(SceneState& s) {
  s.RampCount = 0;
  for (s.LoopIndex = kFirstFigureEntry; s.LoopIndex <= kLastRampEntry; ++s.LoopIndex) {
    const int32_t level = 2 * s.RampCount;
    switch (s.ColorScheme) {
      case 0:
        SetEntry(s, s.LoopIndex, level, s.LineGreen, s.LineBlue);
        break;
      case 1:
        SetEntry(s, s.LoopIndex, s.LineRed, level, s.LineBlue);
        break;
      default:
        SetEntry(s, s.LoopIndex, s.LineRed, s.LineGreen, level);
        break;
    }
    ++s.RampCount;
  }
  WriteFillers(s, kLastRampEntry + 1);
}

}  // namespace

void InitPalette(SceneState& s, Platform& p) {
  WriteBackdropLevels(s);
  SetEntry(s, kCaptionEntry, 255, 200, 0);  // the title card's gold
  // Placeholders until the first figure's palette is prepared.
  for (s.LoopIndex = kFirstFigureEntry; s.LoopIndex <= kLastOwnEntry; ++s.LoopIndex) {
    SetEntry(s, s.LoopIndex, s.LoopIndex, 1, 2);
  }
  LoadPalette(s, p);
}

void PrepareFigurePalette(SceneState& s, Platform& p) {
  p.events.Pump();
  WriteBackdropLevels(s);
  SetEntry(s, kCaptionEntry, s.CaptionRed, s.CaptionGreen, s.CaptionBlue);
  if (s.ColorScheme == 3) {
    WriteDriftRamp(s);
  } else {
    WriteDepthRamp(s);
  }
  LoadPalette(s, p);
}

}  // namespace zt
