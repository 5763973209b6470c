#pragma once
// The program's one window and its procedures: start-up, preparation, the
// exit sequence and the endless scene cycle.
#include <functional>

#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {

// What a host environment may switch off: a screen-saver daemon's window,
// for instance, is not ours to grab the pointer or play music in.
struct FormOptions {
  bool hide_cursor = true;
  bool topmost = true;
  bool music = true;
  bool single_instance = true;
  bool input_ends = true;
  // Called as the exit sequence begins, before anything else; the display
  // runner bounds the teardown from here.
  std::function<void()> exit_begins;
};

class Form1 {
 public:
  Form1(SceneState& state, Platform& platform, FormOptions options = {});

  // Start-up: refuses a second copy, prepares the window, probes the display
  // and fixes the start-up values. Throws ProgramExit for a second copy.
  void Main();
  void Form_Load();
  // The scene cycle; it only ends by the exit sequence (ProgramExit).
  [[noreturn]] void Form_Activate();

  void Form_Click();
  void Form_KeyPress(char key_ascii);
  [[noreturn]] void Form_QueryUnload();

  // One pass of the scene cycle's loop: one figure.
  void DrawNextFigure();
  // The screen metrics and the depth buffer, from the canvas's present size:
  // at start-up, and again when the window changed size.
  void MeasureScreen();

 private:
  float Rnd() { return platform_.random.Rnd(); }

  SceneState& s_;
  Platform& platform_;
  FormOptions options_;
  // A size change before the cycle started, and whether it runs.
  bool resized_ = false;
  bool cycle_running_ = false;
};

// Runs the program on a platform: start-up, then the scene cycle until the
// exit sequence. Returns the exit status.
int RunForm(SceneState& state, Platform& platform, FormOptions options);

// The resolution scale for a screen width.
float LayoutScaleFor(int32_t screen_width);

}  // namespace zt
