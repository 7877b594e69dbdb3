// Exporting 36 photos of 4000 x 3000 at width 500 (offsets, a quarter turn
// to the left) against the vips command-line tools and ImageMagick doing
// the same turn, cut, scale and save per frame, two frames at a time; the
// headless export against djpeg decoding every photo; and loading the same
// project against vipsthumbnail, two processes at a time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vips/vips8>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "base/Round.h"
#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "export/ExportService.h"
#include "export/FramePlanner.h"
#include "export/LayerToSwf.h"
#include "imaging/ImageKit.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::bench {
namespace {

namespace fs = std::filesystem;

const std::string& ProjectFile() {
  static const std::string path = TurnedProject("large", LargeFiles());
  return path;
}

const std::string& GrainyProjectFile() {
  static const std::string path = TurnedProject("grainy", GrainyFiles());
  return path;
}

const char* SetName(bool grainy) {
  return grainy ? "grainy" : "large";
}

std::unique_ptr<TProjectDocument> LoadProject() {
  auto window = OpenProject(ProjectFile());
  window->LayerItems().Render();
  return window;
}

// The frames the export makes, planned the same way, for the peers.
std::vector<TFramePlan> Plans(TProjectDocument& w) {
  const TRelBox box = w.TrimBox().GetRelBox();
  TFramePlanner planner({w.LayerItems().GetItemScale(), w.WorkBitmap().Width(),
                         w.WorkBitmap().Height(), box.p1x, box.p1y, box.p2x, box.p2y,
                         w.LayerItems().GetRotation(), 500});
  std::vector<TFramePlan> plans;
  for (int i = 0; i < w.LayerItems().Count(); ++i) {
    const TLayerItemObject* item = w.LayerItems().GetItem(i);
    plans.push_back(
        planner.Plan(i, item->GetFileName(), item->GetOffset().X, item->GetOffset().Y, ""));
  }
  return plans;
}

void BM_Export(benchmark::State& state) {
  auto window = LoadProject();
  const std::string out = EmptyFolder("export-ours");
  const double seconds = TimeEach(state, [&] {
    TLayerToSwf exporter;
    exporter.SetItems(&window->LayerItems());
    exporter.SetTrimBox(&window->TrimBox());
    exporter.SetWorkSize(window->WorkBitmap().Width(), window->WorkBitmap().Height());
    exporter.SetSwfWidth(500);
    exporter.SetFrameFolder(out);
    return exporter.Execute(out + "veldata.swf").Ok();
  });
  const double fps = window->LayerItems().Count() / seconds;
  state.counters["frames_per_s"] = fps;
  Record("export kalvane", fps);
}

void BM_ExportPeer(benchmark::State& state) {
  const bool magick = state.range(0) == 1;
  auto window = LoadProject();
  const std::string out = EmptyFolder(magick ? "export-magick" : "export-vips");
  std::vector<std::string> lines;
  for (const TFramePlan& p : Plans(*window)) {
    const std::string n = std::to_string(p.Index);
    const int w = p.Crop.right - p.Crop.left, h = p.Crop.bottom - p.Crop.top;
    if (magick) {
      lines.push_back("/usr/bin/convert " + p.Source + " -rotate -90 -crop " + std::to_string(w) +
                      "x" + std::to_string(h) + "+" + std::to_string(p.Crop.left) + "+" +
                      std::to_string(p.Crop.top) + " +repage -resize " + std::to_string(p.Width) +
                      "x" + std::to_string(p.Height) + "! -quality 85 " + out + n + ".jpg");
    } else {
      const std::string r = out + n + "-r.v", c = out + n + "-c.v";
      lines.push_back("vips rot " + p.Source + " " + r + " d270 && vips crop " + r + " " + c + " " +
                      std::to_string(p.Crop.left) + " " + std::to_string(p.Crop.top) + " " +
                      std::to_string(w) + " " + std::to_string(h) + " && vips resize " + c + " " +
                      out + n + ".jpg[Q=85] " + std::to_string(double(p.Width) / w) + " --vscale " +
                      std::to_string(double(p.Height) / h) + " && rm " + r + " " + c);
    }
  }
  const std::string command = TwoAtATime(out + "frames.sh", lines);
  const double fps = lines.size() / TimeCommandEach(state, command);
  state.counters["frames_per_s"] = fps;
  Record(magick ? "export convert" : "export vips", fps);
}

// What kalvane-cli export does: the project loaded with headers only, then
// the PC data movie.
void BM_HeadlessExport(benchmark::State& state) {
  const bool grainy = state.range(0) == 1;
  const std::string project = grainy ? GrainyProjectFile() : ProjectFile();  // made beforehand
  const std::string out = EmptyFolder(std::string("export-headless-") + SetName(grainy));
  const double seconds = TimeEach(state, [&] {
    auto document = OpenProject(project, false);
    TDirectDispatcher direct;
    TExportService service(*document, direct);
    TExportRequest request;
    request.Output = out + "veldata.swf";
    request.FrameFolder = out;
    return service.Run(request).Ok();
  });
  Record(std::string("headless export ") + SetName(grainy), seconds);
}

// Every photo decoded at full size by djpeg (libjpeg-turbo), two at a
// time: the floor the goal names.
void BM_FullDecodePeer(benchmark::State& state) {
  const bool grainy = state.range(0) == 1;
  const auto& files = grainy ? GrainyFiles() : LargeFiles();
  if (std::system("command -v djpeg >/dev/null") != 0) {
    state.SkipWithError("djpeg is missing (libjpeg-turbo-progs)");
    return;
  }
  const std::string out = EmptyFolder(std::string("djpeg-") + SetName(grainy));
  std::vector<std::string> lines;
  for (const std::string& file : files)
    lines.push_back("djpeg -outfile /dev/null " + file);
  const std::string command = TwoAtATime(out + "decode.sh", lines);
  Record(std::string("full decode ") + SetName(grainy), TimeCommandEach(state, command));
}

void BM_LoadProject(benchmark::State& state) {
  ProjectFile();
  const double seconds = TimeEach(state, [] {
    return LoadProject()->LayerItems().Count() == static_cast<int>(LargeFiles().size());
  });
  Record("project kalvane", seconds / LargeFiles().size());
}

void BM_LoadProjectPeer(benchmark::State& state) {
  const auto& files = LargeFiles();
  const double scale = GetFitScale(files.front());
  const auto info = IKFileType(files.front());
  const std::string size = std::to_string(RoundInt(info->width * scale)) + "x" +
                           std::to_string(RoundInt(info->height * scale)) + "!";
  const std::string out = EmptyFolder("thumbs-two");
  std::vector<std::string> lines;
  const std::size_t half = (files.size() + 1) / 2;
  for (std::size_t part = 0; part < 2; ++part) {
    std::string line = "vipsthumbnail --no-rotate -s '" + size + "' -o '" + out + "%s.v'";
    for (std::size_t i = part * half; i < std::min(files.size(), (part + 1) * half); ++i) {
      line += " " + files[i];
    }
    lines.push_back(line);
  }
  const std::string command = TwoAtATime(out + "thumbs.sh", lines);
  Record("project vipsthumbnail", TimeCommandEach(state, command) / files.size());
}

BENCHMARK(BM_Export)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ExportPeer)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);
BENCHMARK(BM_HeadlessExport)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);
BENCHMARK(BM_FullDecodePeer)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3);
BENCHMARK(BM_LoadProject)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_LoadProjectPeer)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
}  // namespace kalvane::bench
