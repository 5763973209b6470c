#pragma once
// What XScreenSaver's standard options change around the scene: the pacing
// of its pauses (--speed, -delay) and the frame-rate line (-fps).
#include <cmath>
#include <cstdint>
#include <string>

#include "base/scene_observer.h"
#include "surface/canvas/layered_canvas.h"
#include "surface/platform.h"

namespace zt {

// The events of a binding with the scene's pauses divided by `speed`: the
// one between spokes and the one between figures. The title card's hold
// and the music timer keep their own time. At speed 1 it only forwards.
class PacedEvents : public Events {
 public:
  PacedEvents(Events& inner, double speed) : inner_(inner), speed_(speed) {}
  void SetHandlers(EventHandlers handlers) override { inner_.SetHandlers(std::move(handlers)); }
  void Pump() override { inner_.Pump(); }
  void PumpFor(int32_t ms) override {
    inner_.PumpFor(speed_ == 1 ? ms : static_cast<int32_t>(std::lround(ms / speed_)));
  }
  void WaitAndPump(int32_t ms) override { inner_.WaitAndPump(ms); }
  void SetTimer1Interval(int32_t ms) override { inner_.SetTimer1Interval(ms); }
  void SetTimer1Enabled(bool enabled) override { inner_.SetTimer1Enabled(enabled); }
  int32_t Timer1Interval() const override { return inner_.Timer1Interval(); }
  bool Timer1Enabled() const override { return inner_.Timer1Enabled(); }

 private:
  Events& inner_;
  double speed_;
};

// Counts the spokes drawn and, once a second, shows their rate and the
// process's CPU use on the canvas's overlay line.
class FpsMeter : public SceneObserver {
 public:
  // The line is there from the start, before the first figure.
  FpsMeter(LayeredCanvas& canvas, Clock& clock) : canvas_(canvas), clock_(clock) {
    canvas_.SetOverlayText("0.0 spokes/s");
  }
  void OnSpoke(const SceneState&) override;

 private:
  LayeredCanvas& canvas_;
  Clock& clock_;
  int64_t spokes_ = 0;
  int64_t since_ms_ = -1;
  double cpu_since_s_ = 0;
};

}  // namespace zt
