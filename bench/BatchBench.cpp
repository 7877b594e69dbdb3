// kalvane-cli batch: six products of the 24 sample photos (aligned; the
// data movie, a page set, 1000-pixel frames and a 6-second MP4 of each)
// against the same single commands run one after another; and a second
// run over 100 products made already, which only looks at them.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BenchData.h"
#include "base/AppUtil.h"

namespace kalvane::bench {
namespace {

namespace fs = std::filesystem;

std::string Cli() {
  return GetAppFolder() + "../kalvane-cli";
}

// data/NAME/ with `count` products of `photos` sample photos each
// (shots/pK) and a manifest of them asking for `outputs`.
std::string Day(const std::string& name, int count, std::size_t photos, bool align,
                const std::string& outputs) {
  const std::string folder = EmptyFolder(name);
  const std::vector<std::string> files = SampleFiles();
  std::ofstream manifest(folder + "manifest.jsonl");
  for (int k = 0; k < count; ++k) {
    const std::string shots = folder + "shots/p" + std::to_string(k) + "/";
    fs::create_directories(shots);
    for (std::size_t i = 0; i < photos && i < files.size(); ++i)
      fs::copy_file(files[i], shots + ExtractName(files[i]));
    manifest << "{\"id\": \"p" << k << "\", \"photos\": [\"shots/p" << k
             << "\"], \"align\": " << (align ? "true" : "false") << ", \"outputs\": [" << outputs
             << "]}\n";
  }
  return folder;
}

constexpr int kProducts = 6;

void BM_Batch(benchmark::State& state) {
  const std::string day =
      Day("batch-day", kProducts, 24, true, R"("swf", "pageset", "frames", "mp4")");
  const std::string command = "'" + Cli() + "' batch '" + day + "manifest.jsonl' -o '" + day +
                              "out' --force >/dev/null 2>&1";
  Record("batch", TimeCommandEach(state, command));
}

void BM_BatchPeer(benchmark::State& state) {
  const std::string day = Day("batch-singles", kProducts, 24, true, R"("swf")");
  std::string command;
  for (int k = 0; k < kProducts; ++k) {
    const std::string p = "p" + std::to_string(k);
    const std::string out = day + "out/" + p + "/";
    const std::string cli = "'" + Cli() + "' ";
    command += "mkdir -p '" + out + "' && " + cli + "new '" + day + "shots/" + p + "' -o '" + out +
               p + ".vpj' --align && " + cli + "export '" + out + p + ".vpj' -o '" + out +
               "veldata.swf' && " + cli + "design '" + out + p + ".vpj' --design shop/framed -o '" +
               out + "site' && " + cli + "frames '" + out + p + ".vpj' -o '" + out +
               "frames' --size 1000 --name '{index:03}' && " + cli + "video '" + out + p +
               ".vpj' -o '" + out + p + ".mp4' --width 1080 --min-seconds 6 && ";
  }
  command = "(" + command + "true) >/dev/null 2>&1";
  Record("batch single commands", TimeCommandEach(state, command));
}

void BM_BatchDone(benchmark::State& state) {
  const std::string day = Day("batch-done", 100, 2, false, R"("swf")");
  const std::string run =
      "'" + Cli() + "' batch '" + day + "manifest.jsonl' -o '" + day + "out' >/dev/null 2>&1";
  if (std::system(run.c_str()) != 0) {
    state.SkipWithError("the products could not be made");
    return;
  }
  Record("batch done", TimeCommandEach(state, run));
}

BENCHMARK(BM_Batch)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_BatchPeer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_BatchDone)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvane::bench
