#pragma once
// The scene on a binding's canvas and events, with the options every mode
// shares applied: pacing, the frame-rate line, the seed and the music.
#include "app/form1.h"
#include "app/options.h"
#include "surface/canvas/layered_canvas.h"
#include "surface/platform.h"

namespace zt {

int RunScene(LayeredCanvas& canvas, Events& events, Clock& clock, Host& host, Audio& audio,
             const Options& options, FormOptions form_options);

}  // namespace zt
