#pragma once
// Hooks for the render mode and tests, called by the scene cycle, the sweeps
// and the status line; the default does nothing.
#include <string>

#include "base/scene_state.h"

namespace zt {

class SceneObserver {
 public:
  virtual ~SceneObserver() = default;
  virtual void OnStatusLine(const std::string& /*text*/, float /*x*/, float /*y*/) {}
  // Right before a figure's sweep, after its measurement.
  virtual void OnFigureStart(const SceneState& /*state*/) {}
  // Right after a figure's sweep, before the pause that follows it.
  virtual void OnFigureDrawn(const SceneState& /*state*/) {}
  // Once per sweep step, right after the spoke is plotted.
  virtual void OnSpoke(const SceneState& /*state*/) {}
};

}  // namespace zt
