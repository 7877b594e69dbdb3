// fotomill on 36 photos of 4000 x 3000: matched to the first, the backdrop
// cleaned to white, written as JPEG at a longest side of 2000; against
// vipsthumbnail making the same sizes from the same photos, two processes
// at a time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "imaging/PhotoBatch.h"

namespace kalvane::bench {
namespace {

namespace fs = std::filesystem;

void BM_Fotomill(benchmark::State& state) {
  const std::vector<std::string> files = LargeFiles();
  const std::string out = EmptyFolder("fotomill-ours");
  TPrepSettings settings;
  settings.MatchExposure = true;
  settings.WhiteBackground = true;
  settings.Output.LongestSide = 2000;
  settings.Output.Quality = 90;
  // Each round replaces the one before in the same folder.
  settings.ReplaceEarlier = true;
  const std::atomic<bool> cancel{false};
  const double seconds = TimeEach(state, [&] {
    const TPrepReport report = RunPreparation(files, out, settings, nullptr, cancel);
    return report.Result.Ok() && report.Written() == static_cast<int>(files.size());
  });
  Record("fotomill", seconds / files.size());
}

void BM_FotomillPeer(benchmark::State& state) {
  const std::vector<std::string> files = LargeFiles();
  const std::string out = EmptyFolder("fotomill-vipsthumbnail");
  const std::string list = out + "files.txt";
  {
    std::ofstream names(list);
    for (const std::string& file : files)
      names << file << '\0';
  }
  const std::string command =
      "xargs -0 -P 2 -n 1 vipsthumbnail -s 2000 -o '" + out + "%s.jpg[Q=90]' < '" + list + "'";
  const double seconds = TimeCommandEach(state, command);
  Record("fotomill vipsthumbnail", seconds / files.size());
}

BENCHMARK(BM_Fotomill)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_FotomillPeer)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
}  // namespace kalvane::bench
