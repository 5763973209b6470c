// Placeholder until the figure geometry lands.
#include "geometry/measure.h"
#include "geometry/projection.h"
#include "geometry/sweep.h"
#include "raster/plot_segment.h"
namespace zt {
void ProjectPoint(SceneState&) {}
float PointStep(SceneState&) { return 0; }
void SpokeOffsets(SceneState&) {}
void DrawFigureReverse(SceneState&, Platform&) {}
void DrawFigureForward(SceneState&, Platform&) {}
void MeasureFigure(SceneState&, Platform&) {}
void PlotSegment(SceneState&, Canvas&) {}
void PlotSegmentPalette(SceneState&, Canvas&) {}
}  // namespace zt
