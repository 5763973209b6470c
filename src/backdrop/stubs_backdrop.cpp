// Placeholder until backdrops, palette and captions land.
#include "backdrop/backdrops.h"
#include "backdrop/palette.h"
#include "captions/captions.h"
namespace zt {
void PaintRowBackdrop(SceneState& s, Platform&) { s.CycleCount = 1; }
void PaintColumnBackdrop(SceneState&, Platform&) {}
void InitPalette(SceneState&, Platform&) {}
void PrepareFigurePalette(SceneState&, Platform&) {}
void ShowTitleCard(SceneState&, Platform&) {}
void PrintStatusLine(SceneState&, Platform&) {}
}  // namespace zt
