// The scene cycle on an 8-bit canvas: backdrops on exact palette entries with
// the black strips their rounded band size leaves, and nothing on the screen
// that is not a colour of the realised palette.
#include <gtest/gtest.h>

#include <set>

#include "app/form1.h"
#include "base/scene_observer.h"
#include "support/window_cells.h"
#include "surface/headless/headless.h"
#include "surface/random/random.h"

namespace zt {
namespace {

class Snapshots : public SceneObserver {
 public:
  explicit Snapshots(const LayeredCanvas& canvas) : canvas_(canvas) {}
  void OnFigureDrawn(const SceneState& s) override {
    ++figure;
    if (figure == 1) row_backing = canvas_.BackingCells();
    if (figure == 5) column_backing = canvas_.BackingCells();
    // Every shown colour is a palette colour.
    std::set<uint32_t> palette;
    for (const PaletteEntry& e : canvas_.RealizedPalette()) {
      palette.insert((static_cast<uint32_t>(e.red) << 16) | (e.green << 8) | e.blue);
    }
    for (int32_t y = 0; y < canvas_.Height(); y += 3) {
      for (int32_t x = 0; x < canvas_.Width(); ++x) {
        if (!palette.count(canvas_.ShownColor(x, y))) ++foreign;
      }
    }
    // Spoke pixels are the cells the figure changed over the backdrop.
    const std::vector<uint32_t> window = test::WindowCells(canvas_);
    for (size_t i = 0; i < window.size(); ++i) {
      if (window[i] != canvas_.BackingCells()[i]) ++spoke_cells;
    }
    EXPECT_EQ(s.PaletteMode, 1);
    if (figure == 5) throw ProgramExit{0};
  }
  const LayeredCanvas& canvas_;
  int figure = 0;
  long foreign = 0;
  long spoke_cells = 0;
  std::vector<uint32_t> row_backing, column_backing;
};

struct StripCase {
  int32_t width, height;
  int32_t first_black_row, first_black_column;
};

class PaletteModeTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(PaletteModeTest, BackdropsLeaveBlackStripsAndColoursComeFromThePalette) {
  const StripCase c = GetParam();
  VirtualClock clock(CalendarTime{2026, 12, 7, 10, 0, 0});
  HeadlessEvents events(clock);
  CanvasConfig config{c.width, c.height, 15, 8};
  LayeredCanvas canvas(config, nullptr);
  SeededRandom random(clock, 99);
  HeadlessHost host;
  SilentAudio audio;
  Snapshots snapshots(canvas);
  Platform platform{canvas, events, clock, random, host, audio, &snapshots};
  SceneState s;
  FormOptions options;
  options.music = false;
  Form1 form(s, platform, options);
  form.Main();
  EXPECT_THROW(form.Form_Activate(), ProgramExit);
  ASSERT_EQ(snapshots.figure, 5);
  EXPECT_EQ(snapshots.foreign, 0);
  EXPECT_GT(snapshots.spoke_cells, 100);

  auto cell = [&](const std::vector<uint32_t>& cells, int32_t x, int32_t y) {
    return cells[static_cast<size_t>(y) * c.width + x];
  };
  // Row backdrop: levels 0..98..0 down the bands, black below them.
  const int32_t band_rows = c.first_black_row / 197;
  for (int32_t y = 0; y < c.height; ++y) {
    const uint32_t index = cell(snapshots.row_backing, c.width / 2, y);
    if (y >= c.first_black_row) {
      EXPECT_EQ(index, 0u) << "row " << y;
    } else {
      const int32_t band = y / band_rows;
      EXPECT_EQ(index, static_cast<uint32_t>(band <= 98 ? band : 196 - band)) << "row " << y;
    }
  }
  // Column backdrop: the same across, black right of the last band.
  const int32_t band_columns = c.first_black_column / 197;
  for (int32_t x = 0; x < c.width; ++x) {
    const uint32_t index = cell(snapshots.column_backing, x, c.height / 2);
    if (x >= c.first_black_column) {
      EXPECT_EQ(index, 0u) << "column " << x;
    } else {
      const int32_t band = x / band_columns;
      EXPECT_EQ(index, static_cast<uint32_t>(band <= 98 ? band : 196 - band)) << "column " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, PaletteModeTest,
                         ::testing::Values(StripCase{640, 480, 394, 591},
                                           StripCase{800, 600, 591, 788}));

}  // namespace
}  // namespace zt
