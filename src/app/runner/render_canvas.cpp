#include "app/runner/render_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace zt {

namespace {

// A flush of fewer steps than this is drawn by one thread: waking the other
// would cost more than it saves.
constexpr int64_t kStepsForTwoThreads = 20000;
// Beyond this many spokes the queue is drawn, so it stays small.
constexpr size_t kMostQueued = 4096;
constexpr PointI kNoPixel{INT32_MIN, INT32_MIN};

int64_t StepsOf(const SpokeLine& line) {
  return std::max(std::abs(int64_t{line.x2} - line.x1), std::abs(int64_t{line.y2} - line.y1)) + 1;
}

}  // namespace

HelperThread::HelperThread() {
  try {
    thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
  } catch (const std::system_error&) {
    // No thread: RunBoth runs both halves here.
  }
}

void HelperThread::Serve(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (wake_.wait(lock, stop, [this] { return job_ != nullptr; })) {
    const std::function<void()>* job = job_;
    lock.unlock();
    std::exception_ptr error;
    try {
      (*job)();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    job_ = nullptr;
    error_ = error;
    finished_ = true;
    done_.notify_one();
  }
}

void HelperThread::RunBoth(const std::function<void()>& theirs, const std::function<void()>& mine) {
  if (!Started()) {
    theirs();
    mine();
    return;
  }
  {
    const std::scoped_lock lock(mutex_);
    job_ = &theirs;
    finished_ = false;
    error_ = nullptr;
  }
  wake_.notify_one();
  std::exception_ptr error;
  try {
    mine();
  } catch (...) {
    error = std::current_exception();
  }
  // Waited for even when this half failed: their half uses what the
  // caller holds.
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return finished_; });
  if (error == nullptr) error = error_;
  if (error != nullptr) std::rethrow_exception(error);
}

RenderCanvas::RenderCanvas(const CanvasConfig& config, TextRasterizer* text, bool two_threads)
    : LayeredCanvas(config, text) {
  if (two_threads) helper_ = std::make_unique<HelperThread>();
}

void RenderCanvas::Add(const SpokeLine& spoke, DepthGrid& depth, int32_t& result) {
  if ((depth_ != nullptr && depth_ != &depth) || queue_.size() >= kMostQueued) DrawSpokes();
  depth_ = &depth;
  queue_.push_back(Queued{spoke, &result});
  queued_steps_ += StepsOf(spoke);
}

void RenderCanvas::DrawSpokes() {
  if (queue_.empty()) return;
  NoteBandWrites();
  upper_.last.assign(queue_.size(), kNoPixel);
  lower_.last.assign(queue_.size(), kNoPixel);
  const int32_t split = helper_ != nullptr && helper_->Started() ? SplitRow() : 0;
  // Whatever happens, the tiles and blocks taken are handed over.
  struct HandOver {
    RenderCanvas& canvas;
    DepthGrid& depth;
    ~HandOver() {
      for (Band* band : {&canvas.upper_, &canvas.lower_}) {
        depth.EndStock(band->tiles.stock);
        canvas.EndBandWrites(band->blocks);
      }
    }
  } hand_over{*this, *depth_};
  if (split == 0) {
    DrawBand(INT32_MIN, INT32_MAX, upper_);
  } else {
    helper_->RunBoth([this, split] { DrawBand(split, INT32_MAX, lower_); },
                     [this, split] { DrawBand(INT32_MIN, split, upper_); });
  }
  // Each spoke leaves the result of the last pixel it drew, in step order:
  // the one farther along the major axis when both bands drew.
  const auto width = static_cast<uint32_t>(Width()), height = static_cast<uint32_t>(Height());
  for (size_t i = 0; i < queue_.size(); ++i) {
    const SpokeLine& line = queue_[i].line;
    PointI last = upper_.last[i];
    if (const PointI lower = lower_.last[i]; lower.x != INT32_MIN) {
      const bool rows_major = std::abs(line.y2 - line.y1) > std::abs(line.x2 - line.x1);
      auto along = [&](PointI p) {
        return rows_major ? std::abs(int64_t{p.y} - line.y1) : std::abs(int64_t{p.x} - line.x1);
      };
      if (last.x == INT32_MIN || along(lower) > along(last)) last = lower;
    }
    if (last.x == INT32_MIN) continue;
    *queue_[i].result =
        static_cast<uint32_t>(last.x) < width && static_cast<uint32_t>(last.y) < height ? 1 : 0;
  }
  queue_.clear();
  depth_ = nullptr;
  queued_steps_ = 0;
}

void RenderCanvas::DrawBand(int32_t top, int32_t bottom, Band& band) {
  struct Sink final : PixelSink {
    RenderCanvas& canvas;
    Band& band;
    ColorRef color = 0;
    PointI last = kNoPixel;
    Sink(RenderCanvas& c, Band& b) : canvas(c), band(b) {}
    void Take(std::span<const PointI> points) override {
      canvas.SetPixelsVInBand(points, color, 0, band.blocks, canvas.canvas_lock_);
      last = points.back();
    }
  } sink(*this, band);
  band.tiles.lock = &depth_lock_;
  for (size_t i = 0; i < queue_.size(); ++i) {
    sink.color = queue_[i].line.color;
    sink.last = kNoPixel;
    WalkSpokeRows(queue_[i].line, top, bottom, *depth_, &band.tiles, sink);
    band.last[i] = sink.last;
  }
}

int32_t RenderCanvas::SplitRow() {
  if (queued_steps_ < kStepsForTwoThreads) return 0;
  // The steps of each spoke spread evenly over its rows, summed per band.
  const int32_t groups = Height() / kBandRows + 1;
  std::vector<double>& weights = weights_;
  weights.assign(static_cast<size_t>(groups), 0.0);
  for (const Queued& q : queue_) {
    const int64_t top = std::clamp<int64_t>(std::min(q.line.y1, q.line.y2), 0, Height());
    const int64_t bottom = std::clamp<int64_t>(std::max(q.line.y1, q.line.y2), 0, Height());
    const double per_row =
        static_cast<double>(StepsOf(q.line)) / static_cast<double>(bottom - top + 1);
    for (int64_t g = top / kBandRows; g <= bottom / kBandRows; ++g) {
      const int64_t from = std::max(top, g * kBandRows);
      const int64_t to = std::min(bottom, g * kBandRows + kBandRows - 1);
      weights[static_cast<size_t>(g)] += per_row * static_cast<double>(to - from + 1);
    }
  }
  double total = 0;
  for (double w : weights) total += w;
  double above = 0, best_gap = total;
  int32_t best = 0;
  for (int32_t g = 1; g < groups; ++g) {
    above += weights[static_cast<size_t>(g - 1)];
    const double gap = std::abs(total - 2 * above);
    if (gap < best_gap) {
      best_gap = gap;
      best = g * kBandRows;
    }
  }
  return best;
}

}  // namespace zt
