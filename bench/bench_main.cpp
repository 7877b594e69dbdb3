#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "BenchData.h"
#include "imaging/ImageKit.h"

namespace {

using kalvane::bench::Recorded;

void PrintLoadRatio(const std::string& set) {
  const double ours = Recorded("load " + set);
  const double peer = Recorded("vipsthumbnail " + set);
  if (ours <= 0 || peer <= 0) return;
  std::printf("  %-18s kalvane %7.2f ms/photo   vipsthumbnail %7.2f ms/photo   ratio %.2f\n",
              set.c_str(), ours * 1000, peer * 1000, ours / peer);
}

}  // namespace

int main(int argc, char** argv) {
  kalvane::IKInitialize();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nLoading display copies into an item list, one thread (goal: ratio <= 1.2)\n");
  PrintLoadRatio("sample 1600x1200");
  PrintLoadRatio("36 x 4000x3000");
  if (const double render = Recorded("render mono"); render > 0) {
    std::printf("\nRender, monochrome mode, 600x600, 36 items (goal: < 2 ms)\n");
    std::printf("  %.3f ms a call = %.1f %% of the 40 ms drag tick\n", render * 1000,
                render * 1000 / 40.0 * 100);
  }
  return 0;
}
