#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"
#include "base/Seams.h"
#include "export/DesignExport.h"
#include "export/ExportAdvice.h"
#include "export/FrameOutputs.h"
#include "export/LayerToSwf.h"
#include "export/MarketplaceCheck.h"
#include "export/VideoOutput.h"

namespace kalvane {

class TProjectDocument;

enum class TExportKind {
  PcMovie,      // the data movie alone, at Output
  PageSet,      // a design's files and veldata.swf, in the folder Output
  HtmlPreview,  // the preview folder: the viewer page and tmp.swf
  Mobile,       // the mobile movie at Output, frames 160 wide (Width is not used)
  FrameSet,     // numbered stills (or their zip) in the folder Output, frames of one size
  Animation,    // an animated WebP or GIF at Output, every frame Width wide
  Video,        // an MP4 or WebM at Output, every frame Width wide; with an
                // animation's Output set, that animation of the same frames too
};

struct TExportRequest {
  TExportKind Kind = TExportKind::PcMovie;
  std::string Output;
  int Width = TSwfExportWidth::kDefault;
  std::string Design;                     // the design's folder, for a page set
  bool UseHelp = true;                    // the viewer's operation help, for a page set
  bool Overwrite = false;                 // a page set may replace files no set of ours wrote
  std::string Title;                      // a page set's product name; empty keeps the placeholder
  std::string Description;                // a page set's product text; empty: none
  std::optional<TViewerSettings> Viewer;  // a page set's viewer; empty: the design's own
  std::string FrameFolder;                // where frames go; the user's export folder when empty
  bool SkipUnreadable = false;            // leave out photos that cannot be decoded, naming them
  // Photos the load found unusable: the export still makes the others'
  // frames, to name every such photo in one run, and then fails.
  std::vector<std::string> Unusable;
  // A frame set: its settings (the folder is Output) and the longer side
  // of its frames (0: frames Width wide).
  TFrameSetRequest Set;
  int LongSide = 0;
  // A set made for a marketplace, checked against its rules once written.
  std::optional<TMarketplace> CheckFor;
  // An animation: its settings (the file is Output).
  TAnimationRequest Animation;
  // A video: its settings (the file is Output).
  TVideoRequest Video;
};

// What an export of the service came to: the exporter's result, and the
// movie and the page it wrote. A video whose animation failed or was
// cancelled still names the video in Frames: that half was written.
struct TExportOutcome : TExportResult {
  std::string Movie;
  std::string Page;  // the page to open; empty for a movie alone
  // A page set's sharper movie (when wider than the first) and poster.
  std::string LargeMovie;
  std::string Poster;
  // The frames against the cut, so a caller can say when they were enlarged.
  TEnlargement Enlargement;
  // The set against the marketplace's rules, when the request asked.
  std::optional<TMarketplaceReport> MarketCheck;
};

// Every export of a project, for the editor and the command line alike.
// The frames are planned from the document on the calling thread; the
// files are then made either there (Run) or on a worker (Start), whose
// progress and result reach the GUI thread through the dispatcher without
// the worker ever waiting for it.
class TExportService {
 public:
  TExportService(TProjectDocument& document, IGuiDispatcher& gui);
  // Cancels a running export and waits for the frame it is making.
  ~TExportService();
  TExportService(const TExportService&) = delete;
  TExportService& operator=(const TExportService&) = delete;

  // The reporter shown while an export runs; called on the GUI thread.
  void SetProgress(IProgress* progress) { Progress = progress; }

  TExportOutcome Run(const TExportRequest& request);
  // False (with the reason in `done`, called at once) when the export
  // cannot start; otherwise `done` runs on the GUI thread at the end.
  bool Start(const TExportRequest& request, std::function<void(const TExportOutcome&)> done);
  void Cancel() { Cancelled = true; }
  bool IsRunning() const { return Running; }

 private:
  struct TJob;
  TExportOutcome Prepare(const TExportRequest& request, TJob& job) const;
  static TExportOutcome Produce(TJob& job, IProgress* progress, const std::atomic<bool>* cancel);

  TProjectDocument& Doc;
  IGuiDispatcher& Gui;
  IProgress* Progress = nullptr;
  std::atomic<bool> Cancelled{false};
  std::atomic<bool> Running{false};
  // Steps posted by the worker run only while this is alive.
  std::shared_ptr<int> Alive = std::make_shared<int>(0);
  std::thread Worker;
};

}  // namespace kalvane
