// Frame time while scrolling a list of 100,000 rows: each frame takes a wheel
// step, lays out (only the rows on screen) and paints the window into an
// offscreen image with Qt's painter and shaper. Median and 99th percentile of
// the frame time are reported as counters (milliseconds).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "zarn_ui/frame_loop.h"
#include "zarn_ui/painter.h"
#include "zarn_ui/qt/qt_painter.h"
#include "zarn_ui/scroll_view.h"

namespace {

using namespace zarn_ui;

class Row : public Widget {
 public:
  explicit Row(std::size_t index)
      : label_("Message " + std::to_string(index) + " — subject line") {}
  std::string_view type_name() const override { return "bench::Row"; }
  void apply_layout(const Rect& bounds, LayoutContext&) override { bounds_ = bounds; }
  void draw_with_presence(DrawContext& ctx) override {
    ctx.painter.fill_rect(bounds_, Color::hex(0x202124));
    ctx.painter.text().draw_plain(ctx.painter, label_, {bounds_.left + 12, bounds_.top + 10}, 13,
                                  Color::hex(0xe8eaed));
  }
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override { return bounds_.contains(p) ? this : nullptr; }

 private:
  std::string label_;
  Rect bounds_{};
};

class Rows : public RowSource {
 public:
  std::size_t row_count() const override { return 100'000; }
  WidgetBox make_row(std::size_t index) override { return std::make_unique<Row>(index); }
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
  return v[i];
}

void BM_ScrollHundredThousandRows(benchmark::State& state) {
  qt::QtTextRenderer text;
  ScrollView view(std::make_unique<Rows>(), 56, Theme::dark());
  FrameLoop loop(view, text, nullptr);
  const int w = 1280, h = 800;
  loop.resize({w, h});
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  std::vector<double> frame_ms;
  float direction = 3;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (loop.dispatch(Wheel{.pos = {100, 100}, .dy = direction}) == EventResult::Ignored) {
      direction = -direction;  // turn round at either end
    }
    loop.run_frame(Clock::now());
    {
      QPainter qp(&image);
      qt::QtPainter painter(qp, text);
      loop.paint(painter, Clock::now());
    }
    loop.finish_frame();
    frame_ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  state.counters["median_ms"] = percentile(frame_ms, 0.5);
  state.counters["p99_ms"] = percentile(frame_ms, 0.99);
  state.counters["rows_on_screen"] = static_cast<double>(view.last_row() - view.first_row());
}
BENCHMARK(BM_ScrollHundredThousandRows)->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
