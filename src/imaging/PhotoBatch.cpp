#include "imaging/PhotoBatch.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/NameOrder.h"
#include "imaging/CutoutEdge.h"
#include "imaging/CutoutMask.h"
#include "imaging/OutputFolder.h"
#include "imaging/OutputNames.h"
#include "imaging/PhotoLoad.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ec, ec2;
  if (fs::equivalent(a, b, ec)) return true;
  const fs::path ca = fs::weakly_canonical(a, ec), cb = fs::weakly_canonical(b, ec2);
  return !ec && !ec2 && ca == cb;
}

}  // namespace

TResult CollectPhotoFiles(const std::vector<std::string>& args, std::vector<std::string>& files) {
  return CollectFiles(args, IsPhotoFile,
                      "a photo file (jpg png tif webp heic avif or a camera file)", false, files);
}

TGeometry TPrepSettings::GeometryFor(const std::string& input) const {
  TGeometry g = Geometry;
  if (const auto at = Levels.find(input); at != Levels.end()) g.LevelDegrees = at->second;
  return g;
}

TPrepResult PlanOutputs(const std::vector<std::string>& inputs, const std::string& folder,
                        const TPrepSettings& settings, std::vector<std::string>& outputs) {
  using F = TPrepFault;
  const auto refuse = [](TErrorCode code, TPrepFault fault, std::string subject, std::string why,
                         std::string other = {}) {
    return TPrepResult::Fail(code, fault, std::move(subject), std::move(why), std::move(other));
  };
  outputs.clear();
  if (inputs.empty()) return refuse(TErrorCode::NoItems, F::NoPhotos, {}, "no photos to prepare");
  if (folder.empty()) return refuse(TErrorCode::BadSetting, F::NoFolder, {}, "no output folder");
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
    return refuse(TErrorCode::BadSetting, F::NotAFolder, folder,
                  folder + ": is a file, not a folder");
  // Never the root, the home folder itself or a system folder.
  const TOutputFolder place(folder);
  if (const TResult allowed = place.CheckPlace("photos"); !allowed.Ok()) {
    return refuse(allowed.Code, F::UnsafeFolder, folder, allowed.Error,
                  place.PlaceFault() == TUnsafePlace::Home ? "home" : "");
  }
  bool levelled = settings.Geometry.Valid();
  for (const auto& [input, degrees] : settings.Levels)
    levelled = levelled && std::isfinite(degrees) && std::abs(degrees) <= 45;
  if (!levelled) {
    return refuse(TErrorCode::BadSetting, F::BadGeometry, {},
                  "the level must be within 45 degrees and the margins leave a picture");
  }
  if (settings.MatchExposure &&
      (settings.Reference < 0 || settings.Reference >= static_cast<int>(inputs.size())))
    return refuse(TErrorCode::BadSetting, F::BadReference, {},
                  "the reference photo is not one of the photos");
  std::string error, field;
  const std::optional<TNameTemplate> names =
      TNameTemplate::Parse(settings.NameTemplate, error, &field);
  if (!names) return refuse(TErrorCode::BadSetting, F::BadTemplate, {}, error, field);

  const std::string base = WithTrailingSlash(folder);
  std::map<std::string, std::string> taken;  // output name -> the input that takes it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string made = names->Make(inputs[i], static_cast<int>(i) + 1);
    if (made.empty() || made == "." || made == "..")
      return refuse(TErrorCode::BadSetting, F::NoName, inputs[i],
                    inputs[i] + ": the template gives no name");
    const std::string name = made + PhotoExtension(settings.Output.Format);
    // A "\" or a line break from a photo's own name.
    if (HoldsBackslashOrControl(name)) {
      return refuse(TErrorCode::BadSetting, F::BadName, inputs[i],
                    ShownName(inputs[i]) + ": its output name \"" + ShownName(name) +
                        "\" would hold a \"\\\" or a control character; rename the photo or "
                        "leave {name} out of the name template",
                    name);
    }
    const auto [at, fresh] = taken.emplace(name, inputs[i]);
    if (!fresh) {
      TPrepResult r = refuse(TErrorCode::WouldReplace, F::SameName, inputs[i],
                             inputs[i] + " and " + at->second + " would both be written as " + name,
                             at->second);
      r.Names = {name};
      return r;
    }
    outputs.push_back(base + name);
  }
  for (const std::string& output : outputs) {
    // A rename would replace it all the same; the user protected it.
    if (IsWriteProtected(output, TLinks::Replace)) {
      return refuse(TErrorCode::WouldReplace, F::WriteProtected, output,
                    output + ": the file is write-protected (read-only) and is not replaced");
    }
    for (const std::string& input : inputs) {
      if (SamePath(output, input)) {
        return refuse(TErrorCode::WouldReplace, F::Original, output,
                      output + ": is one of the photos; originals are never written over");
      }
    }
  }
  return {};
}

TFrameSize PlanFrame(const std::vector<std::string>& inputs, const TPrepSettings& settings) {
  if (inputs.empty()) return {};
  const std::size_t reference = static_cast<std::size_t>(
      std::clamp(settings.Reference, 0, static_cast<int>(inputs.size()) - 1));
  std::vector<std::size_t> order{reference};
  for (std::size_t i = 0; i < inputs.size(); ++i)
    if (i != reference) order.push_back(i);
  int shapeW = 0, shapeH = 0, shortest = 0;
  for (const std::size_t i : order) {
    int w = 0, h = 0;
    if (!ReadPhotoSize(inputs[i], w, h).Ok() || w <= 0 || h <= 0) continue;
    settings.Geometry.Shaped(w, h);
    if (shapeW == 0) {
      shapeW = w;
      shapeH = h;
    }
    const int longest = std::max(w, h);
    shortest = shortest == 0 ? longest : std::min(shortest, longest);
  }
  if (shapeW == 0) return {};
  const TOutputSettings& out = settings.Output;
  int side = out.LongestSide > 0 ? out.LongestSide : shortest;
  if (!out.Enlarge) side = std::min(side, shortest);
  return FrameFor(shapeW, shapeH, side, true);
}

int LoadSizeFor(const TPrepSettings& settings, TFrameSize frame) {
  if (frame.Empty()) return 0;
  // Margins cut away part of what is read; read enough for the rest.
  return static_cast<int>(
      std::ceil(std::max(frame.Width, frame.Height) / settings.Geometry.KeptFraction()));
}

TPrepResult PreparePhoto(const std::string& input, const TPrepSettings& settings,
                         const TBackdropStats* reference, int atLeast, TRgbImage& image,
                         TPhotoMeta* meta, TCleanReport* cleaned) {
  if (TPrepResult loaded = LoadPhoto(input, atLeast, image, meta); !loaded.Ok()) return loaded;
  const TCleanReport report = EvenOutPhoto(image, settings, reference);
  if (cleaned) *cleaned = report;
  return {};
}

TCleanReport EvenOutPhoto(TRgbImage& image, const TPrepSettings& settings,
                          const TBackdropStats* reference) {
  if (reference) ApplyGains(image, MatchGains(*reference, TBackdropStats::Measure(image)));
  // A cut-out puts the product on white itself, from the backdrop as shot.
  if (!settings.WhiteBackground || settings.Cutout.Mode != TCutoutMode::None) return {};
  return CleanBackdrop(image, settings.Clean);
}

int TPrepReport::Written() const {
  return static_cast<int>(std::count_if(Items.begin(), Items.end(), [](const TPrepItem& item) {
    return item.Done && item.Result.Ok();
  }));
}

int TPrepReport::Failed() const {
  return static_cast<int>(std::count_if(Items.begin(), Items.end(), [](const TPrepItem& item) {
    return item.Done && !item.Result.Ok();
  }));
}

namespace {

// The photo's shape differs from the frame's by more than the frame's own
// rounding and a percent.
bool OtherShape(int width, int height, TFrameSize frame) {
  const double want = double(frame.Width) / frame.Height, have = double(width) / height;
  return std::abs(have / want - 1) > 0.01 + 1.0 / std::min(frame.Width, frame.Height);
}

// Photos in work at once are bounded by the memory they take, not only by
// the cores: a photo waits while the others' would leave too little for
// it; one larger than the whole budget runs alone.
class TMemoryBudget {
 public:
  explicit TMemoryBudget(long long total) : Total(total) {}
  void Take(long long bytes) {
    std::unique_lock lock(Mutex);
    Freed.wait(lock, [&] { return Used == 0 || Used + bytes <= Total; });
    Used += bytes;
  }
  void Give(long long bytes) {
    {
      std::lock_guard lock(Mutex);
      Used -= bytes;
    }
    Freed.notify_all();
  }

 private:
  std::mutex Mutex;
  std::condition_variable Freed;
  const long long Total;
  long long Used = 0;
};

std::string Size(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// The output folder made ready: files of our names that we did not write
// are never replaced, earlier outputs of ours go first when asked (else
// the run is refused), and the names are noted before writing. A refused
// run leaves the folder as it was.
TPrepResult ReadyFolder(const std::string& folder, const std::vector<std::string>& outputs,
                        bool replaceEarlier) {
  const TOutputFolder place(folder);
  const std::vector<std::string> earlier = place.Earlier();
  const auto list = [](const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < 3; ++i)
      text += (i ? ", " : "") + names[i];
    return names.size() > 3 ? text + ", ..." : text;
  };
  if (!earlier.empty() && !replaceEarlier) {
    TPrepResult r = TPrepResult::Fail(TErrorCode::WouldReplace, TPrepFault::EarlierRun, folder,
                                      folder + ": holds " + std::to_string(earlier.size()) +
                                          " files of an earlier run (" + list(earlier) +
                                          "); they are not mixed with this run's");
    r.Names = earlier;
    return r;
  }
  std::vector<std::string> names;
  for (const std::string& output : outputs)
    names.push_back(ExtractName(output));
  if (const std::vector<std::string> foreign = place.Foreign(names); !foreign.empty()) {
    TPrepResult r = TPrepResult::Fail(
        TErrorCode::WouldReplace, TPrepFault::NotOurs, folder,
        folder + ": would replace files fotomill did not write (" + list(foreign) + ")");
    r.Names = foreign;
    return r;
  }
  if (!earlier.empty()) {
    if (TResult removed = place.RemoveEarlier(); !removed.Ok())
      return TPrepResult::Fail(removed.Code, TPrepFault::WriteFailed, folder, removed.Error);
  }
  if (TResult marked = place.Mark(names); !marked.Ok())
    return TPrepResult::Fail(marked.Code, TPrepFault::WriteFailed, folder, marked.Error);
  return {};
}

// Runs `work` for photos 0 to count - 1 on up to four threads, as many at
// once as the memory budget holds, until all are done or `cancel` is set.
void ForEachPhoto(const std::vector<std::string>& inputs, int atLeast,
                  const std::atomic<bool>& cancel, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  TMemoryBudget budget(kPrepMemoryBudget);
  auto run = [&] {
    for (;;) {
      const std::size_t i = next++;
      if (i >= inputs.size() || cancel) return;
      const long long bytes = PhotoLoadBytes(inputs[i], atLeast);
      budget.Take(bytes);
      work(i);
      budget.Give(bytes);
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u,
                                      std::min(4u, static_cast<unsigned>(inputs.size())));
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t)
    workers.emplace_back(run);
  run();
  for (std::thread& worker : workers)
    worker.join();
}

// What the cut-out of a run knows before any photo is written: each
// photo's mask on its reduced copy (empty where the photo failed, with the
// reason), and the shadow they share.
struct TCutoutPlan {
  std::vector<TCutoutMask> Masks;
  std::vector<TPrepResult> Failed;
  TContactShadow Shadow;
};

TPrepResult LoadPlate(const std::vector<std::string>& inputs, const TPrepSettings& settings,
                      const TBackdropStats* reference, TRgbImage& plate) {
  TPrepResult read = LoadPhoto(settings.CutoutPlate, kCutoutWorkSide, plate, nullptr);
  if (!read.Ok()) {
    read.Error = "the photo of the empty set " + read.Error;
    return read;
  }
  // One camera, one frame: a plate of another shape is not this set's.
  int w = 0, h = 0;
  const std::string& first = inputs[static_cast<std::size_t>(
      std::clamp(settings.Reference, 0, static_cast<int>(inputs.size()) - 1))];
  if (ReadPhotoSize(first, w, h).Ok() && w > 0 && h > 0 &&
      OtherShape(plate.Width, plate.Height, FrameFor(w, h, 0, false))) {
    return TPrepResult::Fail(TErrorCode::BadSetting, TPrepFault::OtherShape, settings.CutoutPlate,
                             "the photo of the empty set " + settings.CutoutPlate + " (" +
                                 Size(plate.Width, plate.Height) + ") is not the photos' shape (" +
                                 Size(w, h) + ")",
                             Size(w, h));
  }
  // Keyed against photos matched to the reference, it is matched too.
  if (reference) ApplyGains(plate, MatchGains(*reference, TBackdropStats::Measure(plate)));
  plate = CutoutWorkCopy(plate);
  return {};
}

TCutoutPlan PlanCutouts(const std::vector<std::string>& inputs, const TPrepSettings& settings,
                        const TBackdropStats* reference, const TRgbImage* plate,
                        const std::atomic<bool>& cancel, const std::function<void(int)>& looked) {
  TCutoutPlan plan;
  plan.Masks.resize(inputs.size());
  plan.Failed.resize(inputs.size());
  std::mutex mutex;
  int done = 0;
  ForEachPhoto(inputs, kCutoutWorkSide, cancel, [&](std::size_t i) {
    TRgbImage image;
    TPrepResult read =
        PreparePhoto(inputs[i], settings, reference, kCutoutWorkSide, image, nullptr);
    TCutoutMask mask;
    if (read.Ok()) mask = FindProduct(CutoutWorkCopy(image), plate);
    std::lock_guard lock(mutex);
    plan.Masks[i] = std::move(mask);
    plan.Failed[i] = std::move(read);
    ++done;
    if (looked) looked(done);
  });
  if (settings.Cutout.SoftShadow) {
    std::vector<const TCutoutMask*> masks;
    for (const TCutoutMask& mask : plan.Masks)
      if (!mask.Empty()) masks.push_back(&mask);
    plan.Shadow = PlanContactShadow(masks);
  }
  return plan;
}

// The photo at its own size cut out along its mask, leaning on its
// neighbours' in the spin; false when nothing but backdrop was found.
bool CutOutPhoto(TRgbImage& image, const TCutoutPlan& plan, std::size_t i) {
  const auto mask = [&plan](std::size_t k) -> const TCutoutMask* {
    return k < plan.Masks.size() && !plan.Masks[k].Empty() ? &plan.Masks[k] : nullptr;
  };
  const TCutoutMask& own = plan.Masks[i];
  const TCutoutMask final = WithNeighbours(own, i > 0 ? mask(i - 1) : nullptr, mask(i + 1));
  CutOut(image, CutoutWorkCopy(image, final.Width, final.Height), final);
  AddContactShadow(image, plan.Shadow);
  return final.Coverage() > 0;
}

}  // namespace

TPrepReport RunPreparation(const std::vector<std::string>& inputs, const std::string& folder,
                           const TPrepSettings& settings,
                           const std::function<void(int, const TPrepItem&)>& progress,
                           const std::atomic<bool>& cancel,
                           const std::function<void(int)>& looked) {
  TPrepReport report;
  std::vector<std::string> outputs;
  report.Result = PlanOutputs(inputs, folder, settings, outputs);
  if (!report.Result.Ok()) return report;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    report.Result = TPrepResult::Fail(TErrorCode::WriteFailed, TPrepFault::CannotMakeFolder, folder,
                                      folder + ": cannot make the folder");
    return report;
  }
  report.Result = ReadyFolder(folder, outputs, settings.ReplaceEarlier);
  if (!report.Result.Ok()) return report;
  for (std::size_t i = 0; i < inputs.size(); ++i)
    report.Items.push_back({inputs[i], outputs[i], {}, false, false, false});

  report.Frame = PlanFrame(inputs, settings);
  const TFrameSize frame = report.Frame;
  const int atLeast = LoadSizeFor(settings, frame);
  TBackdropStats referenceStats;
  if (settings.MatchExposure) {
    TRgbImage image;
    const TPrepResult read = LoadPhoto(inputs[settings.Reference], atLeast, image, nullptr);
    if (!read.Ok()) {
      // The photo's own fault, about the photo: the run stops with it.
      report.Result = read;
      report.Result.Error = "the reference photo " + read.Error;
      return report;
    }
    referenceStats = TBackdropStats::Measure(image);
  }
  const TBackdropStats* reference = settings.MatchExposure ? &referenceStats : nullptr;

  const bool cutting = settings.Cutout.Mode != TCutoutMode::None;
  TCutoutPlan cutouts;
  if (cutting) {
    TRgbImage plate;
    if (!settings.CutoutPlate.empty()) {
      report.Result = LoadPlate(inputs, settings, reference, plate);
      if (!report.Result.Ok()) return report;
    }
    cutouts = PlanCutouts(inputs, settings, reference, plate.Width > 0 ? &plate : nullptr, cancel,
                          looked);
  }
  TOutputSettings output = settings.Output;
  output.KeepAlpha = settings.Cutout.Mode == TCutoutMode::Transparent;

  std::mutex mutex;  // the items' results, the count and the progress calls
  int done = 0;
  ForEachPhoto(inputs, atLeast, cancel, [&](std::size_t i) {
    TRgbImage image;
    TPhotoMeta meta;
    TCleanReport cleaned;
    bool found = true;
    const TGeometry geometry = settings.GeometryFor(inputs[i]);
    TPrepResult result =
        cutting && !cutouts.Failed[i].Ok()
            ? cutouts.Failed[i]
            : PreparePhoto(inputs[i], settings, reference, atLeast, image, &meta, &cleaned);
    if (result.Ok()) {
      int w = image.Width, h = image.Height;
      geometry.Shaped(w, h);
      if (!frame.Empty() && OtherShape(w, h, frame)) {
        result = TPrepResult::Fail(
            TErrorCode::BadSetting, TPrepFault::OtherShape, inputs[i],
            inputs[i] + ": its frame (" + Size(w, h) + ") is not the reference photo's shape (" +
                Size(frame.Width, frame.Height) + "); a spin needs one frame",
            Size(frame.Width, frame.Height));
      }
    }
    if (result.Ok() && cutting) found = CutOutPhoto(image, cutouts, i);
    if (result.Ok()) result = SavePhoto(image, meta, geometry, output, outputs[i], frame);
    image = {};
    std::lock_guard lock(mutex);
    report.Items[i].Result = result;
    report.Items[i].Done = true;
    report.Items[i].LostColour = result.Ok() && cleaned.ProductLostColour();
    report.Items[i].NoProduct = result.Ok() && !found;
    ++done;
    if (progress) progress(done, report.Items[i]);
  });
  if (cancel && done < static_cast<int>(inputs.size()))
    report.Result = TPrepResult::Fail(TErrorCode::Cancelled, TPrepFault::Cancelled, {}, "stopped");
  return report;
}

}  // namespace kalvane
