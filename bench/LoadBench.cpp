// Loading display copies into an item list, against vipsthumbnail making the
// same sizes from the same files, both on one thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "base/Round.h"
#include "document/LayerManagement.h"
#include "imaging/ImageKit.h"

namespace kalvane::bench {
namespace {

const std::vector<std::string>& Set(int which) {
  static const std::vector<std::string> samples = SampleFiles();
  static const std::vector<std::string> large = LargeFiles();
  return which == 0 ? samples : large;
}

const char* SetName(int which) {
  return which == 0 ? "sample 1600x1200" : "36 x 4000x3000";
}

void BM_LoadIntoItemList(benchmark::State& state) {
  const auto& files = Set(static_cast<int>(state.range(0)));
  IKSetConcurrency(1);
  const double seconds = TimeEach(state, [&] {
    TBitmap24 work;
    TLayerManagement list;
    list.SetWorkBitmap(&work);
    list.SetItemScale(GetFitScale(files.front()));
    for (const std::string& file : files)
      list.AddItem(ExtractName(file), file);
    list.Render();
    return list.Count() == static_cast<int>(files.size());
  });
  const double per_photo = seconds / static_cast<double>(files.size());
  state.counters["ms_per_photo"] = per_photo * 1000;
  Record(std::string("load ") + SetName(static_cast<int>(state.range(0))), per_photo);
}

void BM_VipsThumbnail(benchmark::State& state) {
  const auto& files = Set(static_cast<int>(state.range(0)));
  const auto info = IKFileType(files.front());
  const double scale = GetFitScale(files.front());
  const std::string size = std::to_string(RoundInt(info->width * scale)) + "x" +
                           std::to_string(RoundInt(info->height * scale)) + "!";
  const std::string out = GetAppFolder() + "data/thumbs/";
  std::filesystem::create_directories(out);
  std::string command =
      "VIPS_CONCURRENCY=1 vipsthumbnail --no-rotate -s '" + size + "' -o '" + out + "%s.v'";
  for (const std::string& file : files)
    command += " '" + file + "'";
  const double per_photo = TimeCommandEach(state, command) / static_cast<double>(files.size());
  state.counters["ms_per_photo"] = per_photo * 1000;
  Record(std::string("vipsthumbnail ") + SetName(static_cast<int>(state.range(0))), per_photo);
}

BENCHMARK(BM_LoadIntoItemList)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);
BENCHMARK(BM_VipsThumbnail)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2);

}  // namespace
}  // namespace kalvane::bench
