#include "cli/BatchProduct.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/AppUtil.h"
#include "base/HeldTemp.h"
#include "cli/CliView.h"
#include "cli/CommandLine.h"
#include "cli/CommandSteps.h"
#include "export/ExportService.h"
#include "export/ShopPresets.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

namespace {

// What a step said on stderr ("kalvane-cli: ..." lines, warnings left
// out) since it began, when stderr is a file.
class TSaidSince {
 public:
  TSaidSince() : Start(Size()) {}
  std::string Text() const {
    std::fflush(stdout);
    const off_t end = Size();
    if (end <= Start) return "";
    std::string bytes(static_cast<std::size_t>(end - Start), '\0');
    const ssize_t got = ::pread(STDERR_FILENO, bytes.data(), bytes.size(), Start);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    std::string said;
    constexpr std::string_view kPrefix = "kalvane-cli: ";
    std::size_t at = 0;
    while (at < bytes.size()) {
      const std::size_t end_ = std::min(bytes.find('\n', at), bytes.size());
      const std::string line = bytes.substr(at, end_ - at);
      at = end_ + 1;
      if (!line.starts_with(kPrefix) || line.starts_with("kalvane-cli: warning:")) continue;
      said += (said.empty() ? "" : "; ") + line.substr(kPrefix.size());
    }
    return said;
  }

 private:
  static off_t Size() {
    std::fflush(stdout);
    struct stat st {};
    if (::fstat(STDERR_FILENO, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return st.st_size;
  }
  off_t Start;
};

// The failures of a product, the first step's named as the one that failed.
class TFailures {
 public:
  explicit TFailures(TProductRecord& record) : Record(record) {}
  void Add(const std::string& step, const std::string& file, std::string why) {
    if (why.empty()) why = "failed (see batch.log)";
    const bool named = file.empty() || why.find(file) != std::string::npos;
    const std::string text = step + ": " + (named ? why : file + ": " + why);
    if (Record.Step.empty()) Record.Step = step;
    Record.Error += (Record.Error.empty() ? "" : "; ") + text;
    std::cerr << "kalvane-cli: " << text << "\n";
  }
  bool Any() const { return !Record.Step.empty(); }

 private:
  TProductRecord& Record;
};

TShopPreset Preset(const std::string& key) {
  for (const TShopPreset& preset : DefaultShopPresets()) {
    if (preset.Key == key) return preset;
  }
  return {};
}

// The export that makes `kind` in `folder`; BadSetting with the reason
// when the product cannot have it.
TResult RequestFor(TOutputKind kind, const TBatchProduct& p, const std::string& folder, int items,
                   TExportRequest& request) {
  const std::string place = folder + OutputPlace(kind, p.Id);
  switch (kind) {
    case TOutputKind::Swf:
      request.Kind = TExportKind::PcMovie;
      request.Output = place;
      return {};
    case TOutputKind::Mobile:
      request.Kind = TExportKind::Mobile;
      request.Output = place;
      return {};
    case TOutputKind::Pageset: {
      const std::string design = GetTemplateFolder() + p.Design;
      std::error_code ec;
      if (!fs::is_directory(design, ec) || !fs::exists(design + "/prev.jpg", ec)) {
        return TResult::Fail(TErrorCode::NotFound,
                             p.Design + ": no such design (kalvane-cli designs lists them)");
      }
      request.Kind = TExportKind::PageSet;
      request.Output = folder + "site";
      request.Design = design;
      request.Title = p.Title;
      return {};
    }
    case TOutputKind::Frames:
      return MakeShopRequest(Preset("spin"), folder + "frames", p.Id, request);
    case TOutputKind::Amazon: {
      const TShopPreset amazon = Preset("amazon");
      if (PossibleCounts(amazon, items).empty()) {
        return TResult::Fail(TErrorCode::BadSetting,
                             std::to_string(items) +
                                 " photos: Amazon's 360° view takes 72, 48 or 24 frames, each a "
                                 "photo of its own; this product needs at least 24 photos");
      }
      const TResult made =
          MakeShopRequest(amazon, folder.substr(0, folder.size() - 1), p.Id + "-amazon", request);
      request.Set.Count = ShopFrameCount(amazon, items);
      return made;
    }
    case TOutputKind::Mp4:
    case TOutputKind::Webm: {
      TShopPreset video = Preset("video");
      video.VideoFormat = kind == TOutputKind::Mp4 ? "mp4" : "webm";
      return MakeShopRequest(video, place, p.Id, request);
    }
    case TOutputKind::Webp:
    case TOutputKind::Gif: {
      TShopPreset animation = Preset("animation");
      animation.AnimationFormat = kind == TOutputKind::Webp ? "webp" : "gif";
      return MakeShopRequest(animation, place, p.Id, request);
    }
  }
  return TResult::Fail(TErrorCode::Internal, "unknown output");
}

// The product's project from an existing one: opened, turned, boxed and
// aligned as asked, saved as `output`.
int ProjectFromProject(const TBatchProduct& p, const std::string& output) {
  TCliView view;
  TProjectDocument document(&view);
  document.LayerItems().SetDisplayCopies(p.Align);
  if (const int rc = OpenProject(p.Project, "", document, false, false); rc != kDone) return rc;
  if (p.QuarterTurns != 0) document.RotateAll(p.QuarterTurns * 9000);
  if (p.BoxGiven) document.SetBox(p.Box);
  if (p.Align) AlignItems(document, TAlignRegion{});
  TPrjSave save;
  save.SetMainWindow(&document);
  if (const TResult saved = save.Save(output); !saved.Ok()) return Fail(saved.Error);
  std::printf("wrote %s: %d photos from %s\n", output.c_str(), document.LayerItems().Count(),
              p.Project.c_str());
  return kDone;
}

// The photos of the product's project: found, and prepared when asked.
bool GatherPhotos(const TBatchProduct& p, const std::string& folder, TFailures& failures,
                  const std::function<void(const std::string&)>& onStep,
                  std::vector<std::string>& files) {
  onStep("photos");
  const TSaidSince said;
  if (p.Prepare) {
    if (const TResult found = CollectPhotoFiles(p.Photos, files); !found.Ok()) {
      failures.Add("photos", "", found.Error);
      return false;
    }
  } else if (!CollectPhotos(p.Photos, true, files)) {
    failures.Add("photos", "", said.Text());
    return false;
  }
  if (files.empty()) {
    failures.Add("photos", p.Photos.front(), "no photos there");
    return false;
  }
  if (!p.Prepare) return true;
  onStep("prepare");
  const std::string prepared = folder + "prepared";
  const std::atomic<bool> cancel{false};
  const TPrepReport report = RunPreparation(files, prepared, *p.Prepare, nullptr, cancel);
  if (!report.Result.Ok()) {
    failures.Add("prepare", prepared, report.Result.Error);
    return false;
  }
  files.clear();
  for (const TPrepItem& item : report.Items) {
    if (!item.Result.Ok()) failures.Add("prepare", item.Input, item.Result.Error);
    files.push_back(item.Output);
  }
  std::printf("prepared %d of %zu photos into %s\n", report.Written(), report.Items.size(),
              prepared.c_str());
  return !failures.Any();
}

// A private folder for the frames of the product's exports, so products
// made at once never wait for each other's; gone with the product.
class TFrameFolder {
 public:
  TFrameFolder() {
    const std::string prefix = GetTempFolder() + "kalvane-batch-";
    RemoveUnheldTemporaries(prefix, THeldKind::Folders);
    Fd = CreateHeldFolder(prefix, Path);
    if (Fd < 0) Path.clear();
  }
  ~TFrameFolder() {
    std::error_code ec;
    if (!Path.empty()) fs::remove_all(Path, ec);
    if (Fd >= 0) ::close(Fd);
  }
  TFrameFolder(const TFrameFolder&) = delete;
  TFrameFolder& operator=(const TFrameFolder&) = delete;
  const std::string& Folder() const { return Path; }

 private:
  std::string Path;
  int Fd = -1;
};

void MakeOutputs(const TBatchProduct& p, const std::string& folder, const std::string& project,
                 TProductRecord& record, TFailures& failures,
                 const std::function<void(const std::string&)>& onStep) {
  onStep("load");
  const TSaidSince said;
  TCliView view;
  TProjectDocument document(&view);
  document.LayerItems().SetDisplayCopies(false);
  if (OpenProject(project, "", document, false, false) != kDone)
    return failures.Add("load", project, said.Text());
  const int items = document.LayerItems().Count();
  const TFrameFolder frames;
  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  TDirectDispatcher direct;
  TExportService service(document, direct);
  service.SetProgress(progress.get());
  for (const TOutputKind kind : p.Outputs) {
    const std::string name = OutputKindName(kind);
    std::string place = folder + OutputPlace(kind, p.Id);
    if (place.ends_with("/")) place.pop_back();
    onStep(name);
    TExportRequest request;
    if (const TResult asked = RequestFor(kind, p, folder, items, request); !asked.Ok()) {
      failures.Add(name, place, asked.Error);
      continue;
    }
    request.FrameFolder = frames.Folder();
    const TExportOutcome outcome = service.Run(request);
    for (const std::string& warning : outcome.Warnings)
      std::cerr << "kalvane-cli: warning: " << name << ": " << warning << "\n";
    if (!outcome.Ok()) {
      failures.Add(name, place, outcome.Error);
      continue;
    }
    record.Outputs.push_back({name, place, OutputBytes(place)});
    std::printf("wrote %s\n", place.c_str());
  }
}

}  // namespace

TProductRecord MakeProduct(const TBatchProduct& p, const std::string& folder,
                           const std::function<void(const std::string& step)>& onStep) {
  TProductRecord record;
  record.Id = p.Id;
  TFailures failures(record);
  const std::string project = folder + p.Id + ".vpj";
  if (p.Project.empty()) {
    std::vector<std::string> files;
    if (!GatherPhotos(p, folder, failures, onStep, files)) return record;
    onStep("new");
    const TSaidSince said;
    if (MakeProject(std::move(files), {p.QuarterTurns, p.Box, p.Align}, project) != kDone) {
      failures.Add("new", project, said.Text());
      return record;
    }
  } else {
    onStep("project");
    const TSaidSince said;
    if (ProjectFromProject(p, project) != kDone) {
      failures.Add("project", p.Project, said.Text());
      return record;
    }
  }
  MakeOutputs(p, folder, project, record, failures, onStep);
  record.Ok = !failures.Any();
  return record;
}

}  // namespace kalvane::cli
