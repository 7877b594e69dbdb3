#include "imaging/PhotoBatch.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/NameOrder.h"
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
  for (const std::string& arg : args) {
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      const std::string folder = WithTrailingSlash(arg);
      for (const std::string& name : ListFiles(arg)) {
        if (IsPhotoFile(name)) files.push_back(folder + name);
      }
    } else if (fs::exists(arg, ec)) {
      if (!IsPhotoFile(arg)) {
        return TResult::Fail(
            TErrorCode::Unreadable,
            arg + ": not a photo file (jpg png tif webp heic avif or a camera file)");
      }
      files.push_back(arg);
    } else {
      return TResult::Fail(TErrorCode::NotFound, arg + ": no such file or folder");
    }
  }
  SortNames(files);
  return {};
}

TResult PlanOutputs(const std::vector<std::string>& inputs, const std::string& folder,
                    const TPrepSettings& settings, std::vector<std::string>& outputs) {
  outputs.clear();
  if (inputs.empty()) return TResult::Fail(TErrorCode::NoItems, "no photos to prepare");
  if (folder.empty()) return TResult::Fail(TErrorCode::BadSetting, "no output folder");
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
    return TResult::Fail(TErrorCode::BadSetting, folder + ": is a file, not a folder");
  if (!settings.Geometry.Valid()) {
    return TResult::Fail(TErrorCode::BadSetting,
                         "the level must be within 45 degrees and the margins leave a picture");
  }
  if (settings.MatchExposure &&
      (settings.Reference < 0 || settings.Reference >= static_cast<int>(inputs.size())))
    return TResult::Fail(TErrorCode::BadSetting, "the reference photo is not one of the photos");
  std::string error;
  const std::optional<TNameTemplate> names = TNameTemplate::Parse(settings.NameTemplate, error);
  if (!names) return TResult::Fail(TErrorCode::BadSetting, error);

  const std::string base = WithTrailingSlash(folder);
  std::map<std::string, std::string> taken;  // output name -> the input that takes it
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string made = names->Make(inputs[i], static_cast<int>(i) + 1);
    if (made.empty() || made == "." || made == "..")
      return TResult::Fail(TErrorCode::BadSetting, inputs[i] + ": the template gives no name");
    const std::string name = made + PhotoExtension(settings.Output.Format);
    const auto [at, fresh] = taken.emplace(name, inputs[i]);
    if (!fresh) {
      return TResult::Fail(TErrorCode::WouldReplace,
                           inputs[i] + " and " + at->second + " would both be written as " + name);
    }
    outputs.push_back(base + name);
  }
  for (const std::string& output : outputs) {
    // A rename would replace it all the same; the user protected it.
    if (IsWriteProtected(output)) {
      return TResult::Fail(
          TErrorCode::WouldReplace,
          output + ": the file is write-protected (read-only) and is not replaced");
    }
    for (const std::string& input : inputs) {
      if (SamePath(output, input)) {
        return TResult::Fail(TErrorCode::WouldReplace,
                             output + ": is one of the photos; originals are never written over");
      }
    }
  }
  return {};
}

int LoadSizeFor(const TPrepSettings& settings) {
  const int side = settings.Output.LongestSide;
  if (side <= 0) return 0;
  // Margins cut away part of what is read; read enough for the rest.
  return static_cast<int>(std::ceil(side / settings.Geometry.KeptFraction()));
}

TResult PreparePhoto(const std::string& input, const TPrepSettings& settings,
                     const TBackdropStats* reference, int atLeast, TRgbImage& image,
                     TPhotoMeta* meta) {
  if (TResult loaded = LoadPhoto(input, atLeast, image, meta); !loaded.Ok()) return loaded;
  EvenOutPhoto(image, settings, reference);
  return {};
}

void EvenOutPhoto(TRgbImage& image, const TPrepSettings& settings,
                  const TBackdropStats* reference) {
  if (reference) ApplyGains(image, MatchGains(*reference, TBackdropStats::Measure(image)));
  if (settings.WhiteBackground)
    CleanBackdrop(image, TBackdropStats::Measure(image).Colour(), settings.Clean);
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

TPrepReport RunPreparation(const std::vector<std::string>& inputs, const std::string& folder,
                           const TPrepSettings& settings,
                           const std::function<void(int, const TPrepItem&)>& progress,
                           const std::atomic<bool>& cancel) {
  TPrepReport report;
  std::vector<std::string> outputs;
  report.Result = PlanOutputs(inputs, folder, settings, outputs);
  if (!report.Result.Ok()) return report;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    report.Result = TResult::Fail(TErrorCode::WriteFailed, folder + ": cannot make the folder");
    return report;
  }
  for (std::size_t i = 0; i < inputs.size(); ++i)
    report.Items.push_back({inputs[i], outputs[i], {}, false});

  const int atLeast = LoadSizeFor(settings);
  TBackdropStats referenceStats;
  if (settings.MatchExposure) {
    TRgbImage image;
    const TResult read = LoadPhoto(inputs[settings.Reference], atLeast, image, nullptr);
    if (!read.Ok()) {
      report.Result = TResult::Fail(read.Code, "the reference photo " + read.Error);
      return report;
    }
    referenceStats = TBackdropStats::Measure(image);
  }

  std::mutex mutex;  // the items' results, the count and the progress calls
  int done = 0;
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (;;) {
      const std::size_t i = next++;
      if (i >= inputs.size() || cancel) return;
      TRgbImage image;
      TPhotoMeta meta;
      TResult result =
          PreparePhoto(inputs[i], settings, settings.MatchExposure ? &referenceStats : nullptr,
                       atLeast, image, &meta);
      if (result.Ok())
        result = SavePhoto(image, meta, settings.Geometry, settings.Output, outputs[i]);
      std::lock_guard lock(mutex);
      report.Items[i].Result = result;
      report.Items[i].Done = true;
      ++done;
      if (progress) progress(done, report.Items[i]);
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u,
                                      std::min(4u, static_cast<unsigned>(inputs.size())));
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t)
    workers.emplace_back(work);
  work();
  for (std::thread& worker : workers)
    worker.join();
  if (cancel && done < static_cast<int>(inputs.size()))
    report.Result = TResult::Fail(TErrorCode::Cancelled, "stopped");
  return report;
}

}  // namespace kalvane
