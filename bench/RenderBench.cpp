// Render in monochrome mode: 36 items of 600 x 600, the current one tinted
// red and blended with the overlay of the others. The work area calls it on
// every 40 ms drag tick.
#include <benchmark/benchmark.h>

#include <chrono>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "document/LayerManagement.h"

namespace kalvane::bench {
namespace {

void BM_RenderMono(benchmark::State& state) {
  const std::vector<std::string> files = SquareFiles();
  TBitmap24 work;
  TLayerManagement list;
  list.SetWorkBitmap(&work);
  list.SetItemScale(1.0);
  for (const std::string& file : files)
    list.AddItem(ExtractName(file), file);
  list.SelectIndex(5);
  list.SetMonoMode(1);
  list.GetSelected()->SetOffset({3, -2});
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    list.Render();
    benchmark::DoNotOptimize(work.Bits());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (work.Width() != 600 || work.Height() != 600) state.SkipWithError("unexpected work size");
  Record("render mono", seconds / static_cast<double>(state.iterations()));
}

BENCHMARK(BM_RenderMono)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kalvane::bench
