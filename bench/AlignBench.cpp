// Automatic alignment on sets with known camera shake: how still the
// exported frames stand before and after, and how long aligning takes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vips/vips8>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "document/AutoAlign.h"
#include "export/ExportService.h"
#include "imaging/ImageKit.h"
#include "imaging/PhaseCorrelation.h"
#include "project/ProjectDocument.h"

namespace kalvane::bench {

double LargestFrameShift(const std::vector<std::string>& frames);

namespace {

namespace fs = std::filesystem;
using vips::VImage;

constexpr int kPhotos = 36, kW = 4000, kH = 3000, kMargin = 120;

// A textured backdrop and floor, and an object in the middle that turns
// (its stripes move on) from photo to photo; each photo shifted by a known
// hand-held shake, to a fraction of a pixel. `grainy`: sensor noise and
// camera JPEG compression.
std::string ShakenSet(bool grainy) {
  const std::string folder =
      GetAppFolder() + "data/shaken-fine-" + (grainy ? "grainy" : "clean") + "/";
  const std::string project = folder + "set.vpj";
  if (fs::exists(project)) return project;
  fs::create_directories(folder);
  IKInitialize();
  const VImage texture =
      VImage::gaussnoise(kW / 8 + 60, kH / 8 + 60,
                         VImage::option()->set("sigma", 40.0)->set("mean", 150.0))
          .gaussblur(0.8)
          .resize(8.0)
          .cast(VIPS_FORMAT_UCHAR);
  std::mt19937 random(11);
  std::uniform_real_distribution<double> shake(-40, 40);
  std::string text = "[project]\nitemCount=" + std::to_string(kPhotos) + "\nitemRotate=0\n";
  for (int i = 0; i < kPhotos; ++i) {
    const double dx = i == 0 ? 0 : shake(random), dy = i == 0 ? 0 : shake(random);
    // moved right by dx and down by dy, between pixels by a bicubic resampling
    VImage photo = texture
                       .affine({1, 0, 0, 1}, VImage::option()
                                                 ->set("interpolate",
                                                       vips::VInterpolate::new_from_name("bicubic"))
                                                 ->set("idx", dx - kMargin)
                                                 ->set("idy", dy - kMargin)
                                                 ->set("oarea", std::vector<int>{0, 0, kW, kH}))
                       .cast(VIPS_FORMAT_UCHAR)
                       .copy_memory();
    // the object: a tall drum whose stripes move on as it turns
    const VImage x = VImage::xyz(1200, 1800)[0];
    VImage drum = ((x + i * 60) % 240 < 120).ifthenelse(60, 210).cast(VIPS_FORMAT_UCHAR);
    photo.draw_image(drum, kW / 2 - 600 + static_cast<int>(dx),
                     kH / 2 - 1000 + static_cast<int>(dy));
    VImage colour = photo.bandjoin(std::vector<VImage>{photo, photo})
                        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    if (grainy) {
      const VImage noise = VImage::gaussnoise(kW, kH, VImage::option()->set("sigma", 6.0));
      colour = (colour + noise).cast(VIPS_FORMAT_UCHAR);
    }
    const std::string path = folder + "shot_" + std::to_string(i) + ".jpg";
    colour.jpegsave(path.c_str(), VImage::option()->set("Q", grainy ? 80 : 95));
    text += "[projectItem" + std::to_string(i) + "]\nname=" + path + "\nx=0\ny=0\n";
  }
  text += "[trimBox]\np1x=0.05\np1y=0.05\np2x=0.95\np2y=0.95\n";
  std::ofstream(project) << text;
  return project;
}

std::vector<std::string> ShakenPhotos(bool grainy) {
  const std::string folder = fs::path(ShakenSet(grainy)).parent_path().string() + "/";
  std::vector<std::string> photos;
  for (int i = 0; i < kPhotos; ++i)
    photos.push_back(folder + "shot_" + std::to_string(i) + ".jpg");
  return photos;
}

// The largest shift of any exported frame against the first, measured to
// a fraction of a pixel on the top band of the frames, where only the
// backdrop is.
double Residual(TProjectDocument& document, const std::string& folder, int width) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  TDirectDispatcher direct;
  TExportService service(document, direct);
  TExportRequest request;
  request.Output = folder + "veldata.swf";
  request.FrameFolder = folder;
  request.Width = width;
  const TExportOutcome outcome = service.Run(request);
  if (!outcome.Ok() || outcome.Frames.empty()) return -1;
  return LargestFrameShift(outcome.Frames);
}

// The first step alone: the display copies compared, to a work pixel.
void BM_AutoAlignCoarse(benchmark::State& state) {
  auto document = OpenProject(ShakenSet(false));
  TAutoAlign align;
  align.SetRefine(false);
  Record("align coarse clean", TimeEach(state, [&] {
           return align.Measure(document->LayerItems()).size() == static_cast<std::size_t>(kPhotos);
         }));
}

void BM_AutoAlign(benchmark::State& state) {
  const bool grainy = state.range(0) == 1;
  const std::string name = grainy ? "grainy" : "clean";
  auto document = OpenProject(ShakenSet(grainy));
  const std::string out = GetAppFolder() + "data/align-frames-" + name + "/";
  const double before = Residual(*document, out, 500);
  std::vector<TAlignment> found;
  const double seconds = TimeEach(state, [&] {
    found = TAutoAlign().Measure(document->LayerItems());
    return found.size() == static_cast<std::size_t>(kPhotos);
  });
  document->ApplyAlignment(found);
  const double after = Residual(*document, out, 500);
  const double after2000 = Residual(*document, out, 2000);
  state.counters["residual_before_px"] = before;
  state.counters["residual_after_px"] = after;
  state.counters["residual_after_2000_px"] = after2000;
  Record("align seconds " + name, seconds);
  Record("align before " + name, before);
  Record("align after " + name, after);
  Record("align after 2000 " + name, after2000);
}

// The floor: every photo of the set decoded at full size, two at a time.
void BM_AutoAlignFloor(benchmark::State& state) {
  const bool grainy = state.range(0) == 1;
  std::vector<std::string> lines;
  for (const std::string& photo : ShakenPhotos(grainy))
    lines.push_back("djpeg -outfile /dev/null " + photo);
  const std::string command = TwoAtATime(GetAppFolder() + "data/align-floor.sh", lines);
  Record(std::string("align floor ") + (grainy ? "grainy" : "clean"),
         TimeCommandEach(state, command));
}

BENCHMARK(BM_AutoAlign)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_AutoAlignCoarse)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_AutoAlignFloor)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1);

}  // namespace

double LargestFrameShift(const std::vector<std::string>& frames) {
  if (frames.empty()) return -1;
  const TBitmap24 first = IKBitmapFromDib(IKFileLoad(frames.front()));
  const TPhaseCorrelator correlator(first, {0, 0, first.Width(), first.Height() / 4});
  double worst = 0;
  for (const std::string& frame : frames) {
    const TIKShiftF s = correlator.MeasureFine(IKBitmapFromDib(IKFileLoad(frame)));
    worst = std::max(worst, std::hypot(s.dx, s.dy));
  }
  return worst;
}

}  // namespace kalvane::bench
