#pragma once
// The render mode's canvas: the layered canvas in memory, with the spokes of
// a figure queued and drawn in bands of rows by two threads at once.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "raster/plot_segment.h"
#include "surface/canvas/layered_canvas.h"

namespace zt {

// A second thread for work split in two: the caller's half runs on the
// calling thread while the other half runs on this one. Joined when
// destroyed, whatever is under way; where no thread can be started both
// halves run on the caller's.
class HelperThread {
 public:
  HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  ~HelperThread() = default;  // the thread, declared last, is joined first

  bool Started() const { return thread_.joinable(); }
  // Returns once both have run; an exception of either is thrown here.
  void RunBoth(const std::function<void()>& theirs, const std::function<void()>& mine);

 private:
  void Serve(std::stop_token stop);

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable done_;
  const std::function<void()>* job_ = nullptr;
  bool finished_ = false;
  std::exception_ptr error_;
  std::jthread thread_;
};

// Spokes are queued while nothing reads the window and drawn, in the order
// they came, before any other drawing, change of mode or picture: the pixels
// and depth cells come out as drawing each at once gives them. Only direct
// colour outside persistent drawing is queued; the rest draws at once.
class RenderCanvas final : public LayeredCanvas, private SpokeQueue {
 public:
  RenderCanvas(const CanvasConfig& config, TextRasterizer* text, bool two_threads = true);

  // Draws every spoke queued. Before reading the window layer.
  void DrawSpokes();

  SpokeQueue* Spokes() override {
    return Persistent() || PaletteMode() ? nullptr : static_cast<SpokeQueue*>(this);
  }

  int32_t ShowCursor(bool show) override {
    DrawSpokes();
    return LayeredCanvas::ShowCursor(show);
  }
  int32_t SetWindowPosTopmost() override {
    DrawSpokes();
    return LayeredCanvas::SetWindowPosTopmost();
  }
  int32_t SetCursorPos(int32_t x, int32_t y) override {
    DrawSpokes();
    return LayeredCanvas::SetCursorPos(x, y);
  }
  void SetPersistentDrawing(bool on) override {
    DrawSpokes();
    LayeredCanvas::SetPersistentDrawing(on);
  }
  void Clear() override {
    DrawSpokes();
    LayeredCanvas::Clear();
  }
  void Refresh() override {
    DrawSpokes();
    LayeredCanvas::Refresh();
  }
  BrushHandle CreateSolidBrush(ColorRef color) override {
    DrawSpokes();
    return LayeredCanvas::CreateSolidBrush(color);
  }
  int32_t FillRect(const RectI& rect, BrushHandle brush) override {
    DrawSpokes();
    return LayeredCanvas::FillRect(rect, brush);
  }
  int32_t DeleteObject(BrushHandle brush) override {
    DrawSpokes();
    return LayeredCanvas::DeleteObject(brush);
  }
  void FillBox(float x1, float y1, float x2, float y2, ColorRef color) override {
    DrawSpokes();
    LayeredCanvas::FillBox(x1, y1, x2, y2, color);
  }
  int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) override {
    DrawSpokes();
    return LayeredCanvas::SetPixelV(x, y, color);
  }
  int32_t SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) override {
    DrawSpokes();
    return LayeredCanvas::SetPixelsV(points, color, none);
  }
  void PSet(float x, float y, ColorRef color) override {
    DrawSpokes();
    LayeredCanvas::PSet(x, y, color);
  }
  void Print(std::string_view text) override {
    DrawSpokes();
    LayeredCanvas::Print(text);
  }
  int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) override {
    DrawSpokes();
    return LayeredCanvas::SetPaletteEntries(start, count, entries);
  }
  int32_t RealizePalette() override {
    DrawSpokes();
    return LayeredCanvas::RealizePalette();
  }
  void Resize(int32_t width, int32_t height) override {
    DrawSpokes();
    LayeredCanvas::Resize(width, height);
  }

 private:
  void Add(const SpokeLine& spoke, DepthGrid& depth, int32_t& result) override;

  // What one band's thread takes and notes: its stocks, and the last pixel
  // each queued spoke drew in its rows.
  struct Band {
    BandTiles tiles;
    BandStock blocks;
    std::vector<PointI> last;
  };
  // Draws rows [top, bottom) of every queued spoke.
  void DrawBand(int32_t top, int32_t bottom, Band& band);
  // The row, a multiple of kBandRows, that shares the queued steps most
  // evenly; 0 where one band should take them all.
  int32_t SplitRow();

  struct Queued {
    SpokeLine line;
    int32_t* result;
  };
  std::vector<Queued> queue_;
  DepthGrid* depth_ = nullptr;
  int64_t queued_steps_ = 0;
  std::mutex depth_lock_, canvas_lock_;
  Band upper_, lower_;
  std::vector<double> weights_;  // per band of kBandRows rows, scratch of SplitRow
  // Last: stopped and joined before what its work uses goes away.
  std::unique_ptr<HelperThread> helper_;
};

}  // namespace zt
