// A 72-frame square set of 2000 pixels (as a marketplace's 360° view takes
// it) from 36 photos of 4000 x 3000 and their copies, turned left, against the
// vips command-line tools doing the same turns, cuts, resizes and padding,
// two at a time.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "export/FrameOutputs.h"
#include "export/LayerToSwf.h"
#include "project/ProjectDocument.h"

namespace kalvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kSide = 2000;
constexpr int kFrames = 72;

const std::string& SetProject() {
  static const std::string path = [] {
    // A project holds a photo once: the second turn is of copies.
    std::vector<std::string> files = LargeFiles();
    const std::string copies = GetAppFolder() + "data/frameset-photos/";
    fs::create_directories(copies);
    for (std::size_t i = 0, n = files.size(); i < n; ++i) {
      const std::string copy = copies + "copy_" + fs::path(files[i]).filename().string();
      if (!fs::exists(copy)) fs::copy_file(files[i], copy);
      files.push_back(copy);
    }
    return TurnedProject("frameset", files);
  }();
  return path;
}

// The frames as kalvane-cli frames --size 2000 plans them.
TExportPlan Plan() {
  return PlanOneSize(SetProject(), 0, kSide, GetTempFolder());
}

void BM_FrameSet(benchmark::State& state) {
  const TExportPlan plan = Plan();
  if (plan.Frames.size() != kFrames) {
    state.SkipWithError("the project did not plan");
    return;
  }
  const std::string out = EmptyFolder("frameset-ours");
  TFrameSetRequest request;
  request.Folder = out + "set";
  request.Name = "frameset";
  request.Square = true;
  const double seconds = TimeEach(state, [&] {
    const TExportResult result = WriteFrameSet(plan, request, nullptr);
    return result.Ok() && result.Width == kSide && result.Height == kSide;
  });
  Record("frameset kalvane", seconds);
}

void BM_FrameSetPeer(benchmark::State& state) {
  const TExportPlan plan = Plan();
  if (plan.Frames.size() != kFrames) {
    state.SkipWithError("the project did not plan");
    return;
  }
  const std::string out = EmptyFolder("frameset-vips");
  std::vector<std::string> lines;
  for (const TFramePlan& p : plan.Frames) {
    const std::string n = out + std::to_string(p.Index);
    const int w = p.Crop.right - p.Crop.left, h = p.Crop.bottom - p.Crop.top;
    lines.push_back("vips rot " + p.Source + " " + n + "-r.v d270 && vips crop " + n + "-r.v " + n +
                    "-c.v " + std::to_string(p.Crop.left) + " " + std::to_string(p.Crop.top) + " " +
                    std::to_string(w) + " " + std::to_string(h) + " && vips resize " + n + "-c.v " +
                    n + "-s.v " + std::to_string(double(p.Width) / w) + " --vscale " +
                    std::to_string(double(p.Height) / h) + " && vips gravity " + n + "-s.v " + n +
                    ".jpg[Q=85] centre " + std::to_string(kSide) + " " + std::to_string(kSide) +
                    " --extend white && rm " + n + "-r.v " + n + "-c.v " + n + "-s.v");
  }
  Record("frameset vips", TimeCommandEach(state, TwoAtATime(out + "set.sh", lines)));
}

BENCHMARK(BM_FrameSet)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_FrameSetPeer)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace kalvane::bench
