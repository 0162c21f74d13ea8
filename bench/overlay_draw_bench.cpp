// What one redraw of the overlay costs: layout from the snapshot, painting with cairo and pango
// into an image surface, as the window host presents it.

#include <benchmark/benchmark.h>

#include "ui/cairo/image_surface.hpp"
#include "ui/paint/overlay_painter.hpp"
#include "ui/render_fixtures.hpp"

namespace glimmet {
namespace {

void redraw(benchmark::State& state, const char* name, double scale) {
  const auto fixture = renderFixture(name);
  if (!fixture) {
    state.SkipWithError("no such fixture");
    return;
  }
  for (auto _ : state) {
    const OverlayFrame frame = fixture->layout();
    auto image =
        renderToImage(frame.size, scale, [&frame](Canvas& canvas) { paintOverlay(canvas, frame); });
    if (!image) {
      state.SkipWithError(image.error().c_str());
      return;
    }
    benchmark::DoNotOptimize(image.value().data());
  }
}

void layoutOnly(benchmark::State& state, const char* name) {
  const auto fixture = renderFixture(name);
  for (auto _ : state) benchmark::DoNotOptimize(fixture->layout());
}

BENCHMARK_CAPTURE(redraw, collapsed_idle, "collapsed-idle", 1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(redraw, collapsed_approval, "collapsed-approval", 1.0)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(redraw, expanded_1, "expanded-1", 1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(redraw, expanded_3, "expanded-3", 1.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(redraw, expanded_3_scale_2, "expanded-3", 2.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(layoutOnly, expanded_3, "expanded-3")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace glimmet
