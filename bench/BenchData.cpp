#include "BenchData.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vips/vips8>

#include "base/AppUtil.h"
#include "export/LayerToSwf.h"
#include "imaging/ImageKit.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"

namespace kalvane::bench {

namespace fs = std::filesystem;
using vips::VImage;

namespace {

std::string DataFolder(const std::string& name) {
  const std::string folder = GetAppFolder() + "data/" + name + "/";
  fs::create_directories(folder);
  return folder;
}

// Makes `count` files with `make(i, path)` unless they are already there.
template <typename F>
std::vector<std::string> Generated(const std::string& set, int count, F make) {
  const std::string folder = DataFolder(set);
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "photo_" + std::to_string(i) + ".jpg";
    if (!fs::exists(path)) make(i, path);
    files.push_back(path);
  }
  return files;
}

}  // namespace

std::vector<std::string> SampleFiles() {
  std::vector<std::string> files;
  const std::string folder = std::string(KALVANE_SAMPLES_DIR) + "/turntable/";
  for (const std::string& name : ListFiles(folder)) {
    if (IsImageFile(name)) files.push_back(folder + name);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> LargeFiles() {
  IKInitialize();
  const std::vector<std::string> samples = SampleFiles();
  return Generated("large-4000x3000", 36, [&](int i, const std::string& path) {
    VImage base =
        VImage::new_from_file(samples[static_cast<std::size_t>(i) % samples.size()].c_str());
    VImage big = base.resize(2.5);
    VImage noise = VImage::gaussnoise(big.width(), big.height(),
                                      VImage::option()->set("sigma", 3.0)->set("mean", 0.0));
    VImage camera = (big + VImage::bandjoin(std::vector<VImage>{noise, noise, noise}))
                        .cast(VIPS_FORMAT_UCHAR)
                        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    camera.jpegsave(path.c_str(), VImage::option()->set("Q", 92)->set("interlace", false));
  });
}

std::vector<std::string> GrainyFiles() {
  IKInitialize();
  const std::vector<std::string> samples = SampleFiles();
  return Generated("grainy-4000x3000", 36, [&](int i, const std::string& path) {
    VImage base =
        VImage::new_from_file(samples[static_cast<std::size_t>(i) % samples.size()].c_str());
    VImage big = base.resize(2.5);
    // Coloured sensor noise at high ISO, kept by a phone's light compression:
    // several times the entropy-coded data of the clean set.
    VImage noise = VImage::gaussnoise(big.width(), big.height(),
                                      VImage::option()->set("sigma", 9.0)->set("mean", 0.0));
    VImage shifted = noise.flip(VIPS_DIRECTION_HORIZONTAL),
           other = noise.flip(VIPS_DIRECTION_VERTICAL);
    VImage camera = (big + VImage::bandjoin(std::vector<VImage>{noise, shifted, other}))
                        .cast(VIPS_FORMAT_UCHAR)
                        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    camera.jpegsave(path.c_str(), VImage::option()->set("Q", 90)->set("interlace", false));
  });
}

std::vector<std::string> SquareFiles() {
  IKInitialize();
  const std::vector<std::string> samples = SampleFiles();
  return Generated("square-600", 36, [&](int i, const std::string& path) {
    VImage square =
        VImage::thumbnail(samples[static_cast<std::size_t>(i) % samples.size()].c_str(), 600,
                          VImage::option()->set("height", 600)->set("size", VIPS_SIZE_FORCE));
    square.jpegsave(path.c_str());
  });
}

namespace {

class TNoDialogs : public IDialogs {
 public:
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void Warn(const std::string&, const std::string&) override {}
  void Inform(const std::string&, const std::string&) override {}
  std::optional<std::string> OpenFile(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<TProjectDocument> OpenProject(const std::string& path, bool copies) {
  auto document = std::make_unique<TProjectDocument>();
  document->LayerItems().SetDisplayCopies(copies);
  TNoDialogs dialogs;
  TPrjLoadThread loader;
  loader.SetMainWindow(document.get());
  loader.SetFindDialog(&dialogs);
  loader.SetProjectPath(path);
  loader.Run();
  return document;
}

std::string EmptyFolder(const std::string& name) {
  const std::string folder = GetAppFolder() + "data/" + name + "/";
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string TurnedProject(const std::string& name, const std::vector<std::string>& files) {
  std::string text = "[project]\nitemCount=" + std::to_string(files.size()) + "\nitemRotate=9000\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    text += "[projectItem" + std::to_string(i) + "]\nname=" + files[i] +
            "\nx=" + std::to_string(static_cast<int>(i % 5) - 2) +
            "\ny=" + std::to_string(static_cast<int>(i % 3) - 1) + "\n";
  }
  text += "[trimBox]\np1x=0.1\np1y=0.1\np2x=0.9\np2y=0.9\n";
  const std::string file = GetAppFolder() + "data/" + name + ".vpj";
  std::ofstream(file) << text;
  return file;
}

TExportPlan PlanOneSize(const std::string& project, int width, int longSide,
                        const std::string& frameFolder) {
  auto document = OpenProject(project, false);
  TLayerToSwf exporter;
  const TSize work = document->WorkSize();
  exporter.SetItems(&document->LayerItems());
  exporter.SetTrimBox(&document->TrimBox());
  exporter.SetWorkSize(work.Width, work.Height);
  exporter.SetSwfWidth(longSide > 0 ? longSide : width);
  exporter.SetFrameShape({true, longSide});
  exporter.SetFrameFolder(frameFolder);
  TExportPlan plan;
  exporter.Plan(plan);
  return plan;
}

namespace {
std::mutex records_lock;
std::map<std::string, double>& Records() {
  static std::map<std::string, double> records;
  return records;
}
}  // namespace

double TimeEach(benchmark::State& state, const std::function<bool()>& run) {
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) state.SkipWithError("the measured work failed");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  return state.iterations() ? total / static_cast<double>(state.iterations()) : 0;
}

double TimeCommandEach(benchmark::State& state, const std::string& command) {
  return TimeEach(state, [&command] { return std::system(command.c_str()) == 0; });
}

void Record(const std::string& name, double seconds_per_unit) {
  std::lock_guard lock(records_lock);
  Records()[name] = seconds_per_unit;
}

std::string TwoAtATime(const std::string& scriptPath, const std::vector<std::string>& lines) {
  std::ofstream script(scriptPath);
  for (const std::string& line : lines)
    script << line << "\n";
  return "tr '\\n' '\\0' < '" + scriptPath + "' | xargs -0 -P 2 -I{} sh -c '{}'";
}

double Recorded(const std::string& name) {
  std::lock_guard lock(records_lock);
  const auto it = Records().find(name);
  return it == Records().end() ? 0.0 : it->second;
}

}  // namespace kalvane::bench
