#include "cli/CommandSteps.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/NameOrder.h"
#include "cli/BatchDialogs.h"
#include "cli/CommandLine.h"
#include "project/LoadThread.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

bool CollectPhotos(const std::vector<std::string>& args, bool onlyImages,
                   std::vector<std::string>& files) {
  const TResult found = CollectFiles(args, IsImageFile, "an image file (.bmp .jpg .gif .png .tif)",
                                     !onlyImages, files);
  if (!found.Ok()) std::cerr << "kalvane-cli: " << found.Error << "\n";
  return found.Ok();
}

bool RefusedOutput(const std::string& path) {
  if (!IsWriteProtected(path)) return false;
  std::cerr << "kalvane-cli: " << path
            << ": the file is write-protected (read-only) and is not replaced\n";
  return true;
}

namespace {

// The loader's own summaries are the editor's (in Japanese); every photo
// it could not take is named here instead.
class TQuietLoadDialogs : public TBatchDialogs {
 public:
  using TBatchDialogs::TBatchDialogs;
  void Warn(const std::string&, const std::string&) override {}
  void Inform(const std::string&, const std::string&) override {}
};

}  // namespace

// Opens the project as the editor does; kDone when every photo came in.
int OpenProject(const std::string& project, const std::string& search, TProjectDocument& document,
                bool skipUnreadable, bool offerSkip, std::vector<std::string>* unusable) {
  TQuietLoadDialogs dialogs(search);
  TPrjLoadThread loader;
  loader.SetMainWindow(&document);
  loader.SetFindDialog(&dialogs);
  loader.SetProjectPath(project);
  loader.Run();
  if (!loader.Failure().empty()) return Fail(project + ": " + loader.Failure());
  if (loader.IsCancelled()) {
    return Fail(
        ExtractName(loader.GetMissingPath()) + ": image not found (stored as " +
        loader.GetMissingPath() + ")" +
        (search.empty() ? "; give the folder it moved to with --search DIR" : " nor in " + search));
  }
  if (!loader.Rejected().empty()) {
    for (const TRejectedFile& r : loader.Rejected())
      std::cerr << "kalvane-cli: " << (skipUnreadable ? "skipped: " : "") << r.Reason << "\n";
    const bool collect = !skipUnreadable && unusable;
    if (!skipUnreadable && !collect) {
      return Fail(std::to_string(loader.Rejected().size()) + " photos could not be taken" +
                  (offerSkip ? " (--skip-unreadable exports the others)" : ""));
    }
    if (collect) {
      for (const TRejectedFile& r : loader.Rejected())
        unusable->push_back(r.Reason);
    }
    // The project keeps photos it could not decode; the export leaves them out.
    TLayerManagement& items = document.LayerItems();
    for (int i = items.Count() - 1; i >= 0; --i) {
      if (!items.GetItem(i)->LoadError().empty()) items.Delete(i);
    }
    if (items.Count() == 0) return Fail("no photo of the project could be read");
  }
  return kDone;
}

void SayUnusable(const std::vector<std::string>& unusable, std::size_t known) {
  // One photo is named by the failure itself.
  if (unusable.size() < 2) return;
  for (std::size_t i = known; i < unusable.size(); ++i)
    std::cerr << "kalvane-cli: " << unusable[i] << "\n";
}

std::string SkipHint(const std::vector<std::string>& unusable) {
  return unusable.empty() ? "" : " (--skip-unreadable exports the others)";
}

TAlignReport AlignItems(TProjectDocument& document, const TAlignRegion& region) {
  const auto start = std::chrono::steady_clock::now();
  TAutoAlign align;
  align.SetRegion(region);
  const std::vector<TAlignment> found = align.Measure(document.LayerItems());
  document.ApplyAlignment(found);
  TAlignReport report;
  report.Items = found.size();
  report.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  #  %-32s %12s %12s  %-20s confidence\n", "photo", "before", "after",
              "after (photo pixels)");
  for (const TAlignment& a : found) {
    const char* note = !a.Trusted ? "  not trusted: kept" : a.Doubtful ? "  doubtful" : "";
    std::printf("%3d  %-32s %5d,%-6d %5d,%-6d %9.2f,%-10.2f %9d%%%s\n", a.Index, a.Name.c_str(),
                a.Before.X, a.Before.Y, a.After.X, a.After.Y, a.FineAfter.X, a.FineAfter.Y,
                a.Confidence, note);
  }
  const TAlignSummary summary = TAutoAlign::Summarize(found);
  report.Untrusted = summary.Kept;
  std::printf("%d of %zu aligned, the largest shift %.1f photo pixels; ", summary.Aligned,
              found.size(), summary.LargestShift);
  if (summary.Doubtful.empty()) {
    std::printf("none doubtful\n");
  } else {
    std::printf("%zu doubtful (confidence below %d %%, worth a look):", summary.Doubtful.size(),
                TAutoAlign::kDoubtful);
    for (const int i : summary.Doubtful)
      std::printf(" %d %s", i, found[static_cast<std::size_t>(i)].Name.c_str());
    std::printf("\n");
  }
  return report;
}

}  // namespace kalvane::cli
