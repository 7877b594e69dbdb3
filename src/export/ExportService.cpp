#include "export/ExportService.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/HeldFolder.h"
#include "export/DesignExport.h"
#include "export/ExportTexts.h"
#include "export/HtmlPreview.h"
#include "export/MobileTools.h"
#include "export/PageSetFolder.h"
#include "project/ProjectDocument.h"

namespace kalvane {

namespace {

// The GUI thread's reporter, reached from a worker by posted steps that
// are dropped once the service is gone.
class TPostedProgress : public IProgress {
 public:
  TPostedProgress(IGuiDispatcher& gui, IProgress* target, std::weak_ptr<int> alive)
      : Gui(gui), Target(target), Alive(std::move(alive)) {}
  void Setup(const std::string& caption, const std::string& message, int minimum,
             int maximum) override {
    Send([=](IProgress& p) { p.Setup(caption, message, minimum, maximum); });
  }
  void ShowProgress() override {
    Send([](IProgress& p) { p.ShowProgress(); });
  }
  void HideProgress() override {
    Send([](IProgress& p) { p.HideProgress(); });
  }
  void SetPosition(int value) override {
    Position = value;
    Send([value](IProgress& p) { p.SetPosition(value); });
  }
  int GetPosition() const override { return Position; }
  void SetCancellable(bool cancellable) override {
    Send([cancellable](IProgress& p) { p.SetCancellable(cancellable); });
  }
  void SetOnCancel(std::function<void()>) override {}

 private:
  void Send(std::function<void(IProgress&)> step) {
    if (!Target) return;
    Gui.Post([target = Target, alive = Alive, step = std::move(step)] {
      if (alive.lock()) step(*target);
    });
  }
  IGuiDispatcher& Gui;
  IProgress* Target;
  std::weak_ptr<int> Alive;
  int Position = 0;
};

}  // namespace

struct TExportService::TJob {
  TExportRequest Request;
  TLayerToSwf Exporter;
  TExportPlan Plan;
  // A page set's sharper movie: the same frames at twice the width.
  TLayerToSwf LargeExporter;
  TExportPlan LargePlan;
};

namespace {

// Twice the width, but never wider than the cut: beyond it the zoom would
// only show the same pixels blown up, at four times the bytes.
int LargeMovieWidth(int width, int cutWidth) {
  return std::min({2 * width, TSwfExportWidth::kMaximum, cutWidth});
}

bool ReadWhole(const std::string& path, std::string& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad() || !in.is_open()) {
    error = "cannot read the frame";
    return false;
  }
  return true;
}

}  // namespace

TExportService::TExportService(TProjectDocument& document, IGuiDispatcher& gui)
    : Doc(document), Gui(gui) {}

TExportService::~TExportService() {
  Cancel();
  Alive.reset();
  if (Worker.joinable()) Worker.join();
}

TExportOutcome TExportService::Prepare(const TExportRequest& request, TJob& job) const {
  job.Request = request;
  const TSize work = Doc.WorkSize();
  job.Exporter.SetItems(&Doc.LayerItems());
  job.Exporter.SetTrimBox(&Doc.TrimBox());
  job.Exporter.SetWorkSize(work.Width, work.Height);
  const bool mobile = request.Kind == TExportKind::Mobile;
  job.Request.Width = mobile ? kMobileWidth : request.Width;
  job.Exporter.SetSwfWidth(job.Request.Width);
  job.Exporter.SetMobile(mobile);
  job.Exporter.SetFrameFolder(request.FrameFolder);
  job.Exporter.SetSkipUnreadable(request.SkipUnreadable);
  const bool stills = request.Kind == TExportKind::FrameSet;
  const bool video = request.Kind == TExportKind::Video;
  if (stills || video || request.Kind == TExportKind::Animation)
    SetOneSizeFrames(job.Exporter, request.Width, stills ? request.LongSide : 0);
  TExportOutcome outcome;
  if (job.Request.Width <= 0) {
    outcome.SetFailure(TErrorCode::BadSetting, "the width must be above 0");
    return outcome;
  }
  if (request.Kind != TExportKind::HtmlPreview && request.Output.empty()) {
    outcome.SetFailure(TErrorCode::BadSetting, "no output was given");
    return outcome;
  }
  // Before any frame is made: a page set never goes where it must not, nor
  // replaces someone else's files unasked.
  if (request.Kind == TExportKind::PageSet) {
    if (TResult allowed = CheckPageSetOutput(request.Output, request.Design, request.Overwrite);
        !allowed.Ok()) {
      static_cast<TResult&>(outcome) = allowed;
      return outcome;
    }
  }
  if (request.Kind == TExportKind::Animation && !AnimationFormat(request.Output)) {
    outcome.SetFailure(TErrorCode::BadSetting, request.Output + ": an animation is .webp or .gif");
    return outcome;
  }
  if (video) {
    job.Request.Video.Output = request.Output;
    if (const TResult checked = CheckVideoRequest(job.Request.Video); !checked.Ok()) {
      static_cast<TResult&>(outcome) = checked;
      return outcome;
    }
    const std::string& also = request.Animation.Output;
    if (!also.empty() && !AnimationFormat(also)) {
      outcome.SetFailure(TErrorCode::BadSetting, also + ": an animation is .webp or .gif");
      return outcome;
    }
    if (!also.empty() && std::filesystem::path(also) == std::filesystem::path(request.Output)) {
      outcome.SetFailure(TErrorCode::BadSetting,
                         also + ": the video and the animation are one file");
      return outcome;
    }
    // Both places are tried before any frame, so a pair is not left half
    // written for want of a folder or of a right.
    for (const std::string& file : {request.Output, also}) {
      if (file.empty()) continue;
      if (const TAtomicFile trial(file); !trial.Ok()) {
        outcome.SetFailure(TErrorCode::WriteFailed, trial.Error());
        return outcome;
      }
    }
  }
  static_cast<TExportResult&>(outcome) = job.Exporter.Plan(job.Plan);
  if (outcome.Ok() && request.Kind == TExportKind::PageSet &&
      LargeMovieWidth(job.Request.Width, job.Plan.Cut.Width) > job.Plan.Width) {
    TLayerToSwf& large = job.LargeExporter;
    large.SetItems(&Doc.LayerItems());
    large.SetTrimBox(&Doc.TrimBox());
    large.SetWorkSize(work.Width, work.Height);
    large.SetSwfWidth(LargeMovieWidth(job.Request.Width, job.Plan.Cut.Width));
    large.SetFrameFolder(request.FrameFolder);
    large.SetSkipUnreadable(request.SkipUnreadable);
    static_cast<TExportResult&>(outcome) = large.Plan(job.LargePlan);
  }
  job.Plan.Unusable = request.Unusable;
  job.LargePlan.Unusable = request.Unusable;
  // The exporters no longer need the document: the plans hold the frames.
  job.Exporter.SetItems(nullptr);
  job.LargeExporter.SetItems(nullptr);
  if (!outcome.Ok()) return outcome;
  // What the settings forbid is said before any frame is made.
  if (stills) {
    job.Request.Set.Folder = request.Output;
    if (const TResult checked =
            CheckFrameSet(job.Request.Set, static_cast<int>(job.Plan.Frames.size()));
        !checked.Ok())
      static_cast<TResult&>(outcome) = checked;
  } else if (request.Kind == TExportKind::Animation) {
    job.Request.Animation.Output = request.Output;
    job.Request.Animation.Format = *AnimationFormat(request.Output);
  } else if (video && !request.Animation.Output.empty()) {
    job.Request.Animation.Format = *AnimationFormat(request.Animation.Output);
  }
  if (request.Kind == TExportKind::Animation || (video && !request.Animation.Output.empty())) {
    const TAnimationRequest& animation = job.Request.Animation;
    if (const TResult rate = CheckAnimationRate(animation.Format, animation.Fps); !rate.Ok())
      static_cast<TResult&>(outcome) = rate;
  }
  return outcome;
}

TExportOutcome TExportService::Produce(TJob& job, IProgress* progress,
                                       const std::atomic<bool>* cancel) {
  const TExportRequest& request = job.Request;
  TExportOutcome outcome;
  outcome.Enlargement = EnlargementOf(job.Plan);
  // Outputs of stills: the same frames through sinks of their own.
  if (request.Kind == TExportKind::FrameSet) {
    static_cast<TExportResult&>(outcome) = WriteFrameSet(job.Plan, request.Set, progress, cancel);
    if (outcome.Ok() && request.CheckFor && !outcome.Frames.empty()) {
      // The set as a shop receives it: the zip, or the files written (the
      // folder may hold others).
      TExportProgress shown(progress, 0, cancel != nullptr);
      TMarketplaceReport report;
      const auto step = [&](int done, int total) {
        if (done == 0) shown.Phase(kMarketCheckMessage, total);
        shown.SetPosition(done);
        return !(cancel && *cancel);
      };
      const TResult checked =
          request.Set.Zip
              ? CheckForMarketplace(outcome.Frames.front(), *request.CheckFor, report, step)
              : CheckFilesForMarketplace(outcome.Frames, *request.CheckFor, report, step);
      // Stopped or failed, the set stays written; only the report is missing.
      if (checked.Ok()) outcome.MarketCheck = std::move(report);
    }
    return outcome;
  }
  if (request.Kind == TExportKind::Animation) {
    static_cast<TExportResult&>(outcome) =
        WriteAnimation(job.Plan, request.Animation, progress, cancel);
    return outcome;
  }
  if (request.Kind == TExportKind::Video) {
    static_cast<TExportResult&>(outcome) = WriteVideo(job.Plan, request.Video, progress, cancel);
    if (!outcome.Ok() || request.Animation.Output.empty()) return outcome;
    // The animation of the same turn, from the same plan; the video is
    // kept when it fails, and the failure names the animation.
    TExportResult animation = WriteAnimation(job.Plan, request.Animation, progress, cancel);
    if (!animation.Ok()) {
      static_cast<TResult&>(outcome) = animation;
      return outcome;
    }
    outcome.Frames.push_back(request.Animation.Output);
    return outcome;
  }
  // A page set's design files are put in place only once its movie is
  // written, so a failed export leaves the earlier set whole.
  TDesignStage design;
  switch (request.Kind) {
    case TExportKind::PcMovie:
    case TExportKind::Mobile:
      outcome.Movie = request.Output;
      break;
    case TExportKind::PageSet: {
      std::error_code ec;
      const TPageSetFolder target(request.Output);
      std::filesystem::create_directories(target.Path(), ec);
      if (ec) {
        outcome.SetFailure(TErrorCode::WriteFailed,
                           request.Output + ": cannot create the folder (" + ec.message() + ")");
        return outcome;
      }
      if (const TResult marked = target.Mark(TPageSetFolder::SetFiles(request.Design));
          !marked.Ok()) {
        static_cast<TResult&>(outcome) = marked;
        return outcome;
      }
      TPageOptions page{request.Title, request.Viewer, TPageSetFolder::kPosterName, "",
                        request.Description};
      if (!job.LargePlan.Frames.empty()) page.LargeMovie = TPageSetFolder::kLargeMovieName;
      design = TDesignExport::StageDesign(request.Design, request.Output, request.UseHelp, page);
      if (!design.Result().Ok()) {
        static_cast<TResult&>(outcome) = design.Result();
        return outcome;
      }
      const std::string folder = WithTrailingSlash(request.Output);
      outcome.Movie = folder + "veldata.swf";
      outcome.Page = folder + "velzoom.html";
      break;
    }
    case TExportKind::FrameSet:
    case TExportKind::Animation:
    case TExportKind::Video:
      break;
    case TExportKind::HtmlPreview: {
      const THtmlPreview preview;
      if (const TResult prepared = preview.PrepareFolder(); !prepared.Ok()) {
        static_cast<TResult&>(outcome) = prepared;
        return outcome;
      }
      outcome.Movie = preview.MoviePath();
      outcome.Page = preview.PagePath();
      break;
    }
  }
  job.Exporter.SetProgress(progress);
  // A page set's movies are made in a held folder inside the output (the
  // sharper one first, so the frame folder ends with the first movie's
  // frames) and put in place with the design's files: a failed export
  // leaves the earlier set whole, and a link in the output is never
  // written through.
  THeldFolder movies;
  std::string movieMade = outcome.Movie, largeMade;
  if (request.Kind == TExportKind::PageSet) {
    const std::string prefix = WithTrailingSlash(request.Output) + ".kalvane-movies-";
    if (!movies.Create(prefix)) {
      outcome.SetFailure(TErrorCode::WriteFailed,
                         prefix + ": cannot create a work folder (" + movies.Why() + ")");
      return outcome;
    }
    movieMade = movies.Path() + "/" + TPageSetFolder::kMovieName;
  }
  if (request.Kind == TExportKind::PageSet && !job.LargePlan.Frames.empty()) {
    largeMade = movies.Path() + "/" + TPageSetFolder::kLargeMovieName;
    job.LargeExporter.SetProgress(progress);
    const TExportResult made = job.LargeExporter.Make(job.LargePlan, largeMade);
    if (!made.Ok()) {
      static_cast<TExportResult&>(outcome) = made;
      return outcome;
    }
    design.AddMoved(largeMade, TPageSetFolder::kLargeMovieName);
  }
  static_cast<TExportResult&>(outcome) = job.Exporter.Make(job.Plan, movieMade);
  if (request.Kind == TExportKind::PageSet && outcome.Ok()) {
    // The poster is the movie's first frame as it is, so the page shows at
    // once what the viewer then draws in its place.
    std::string first, error;
    if (!ReadWhole(outcome.Frames.front(), first, error)) {
      outcome.SetFailure(TErrorCode::Unreadable, outcome.Frames.front() + ": " + error);
      return outcome;
    }
    design.AddMoved(movieMade, TPageSetFolder::kMovieName);
    design.Add(TPageSetFolder::kPosterName, first);
    design.Add(TPageSetFolder::kViewerPageName, ViewerPage(request.Title));
    design.Add(TPageSetFolder::kEmbedName,
               EmbedSnippet(request.Title, outcome.Width, outcome.Height));
    // Only files that were put in place are named.
    if (const TDesignResult placed = design.Commit(); !placed.Ok()) {
      static_cast<TResult&>(outcome) = placed;
    } else {
      outcome.Poster = WithTrailingSlash(request.Output) + TPageSetFolder::kPosterName;
      if (!largeMade.empty())
        outcome.LargeMovie = WithTrailingSlash(request.Output) + TPageSetFolder::kLargeMovieName;
    }
  }
  return outcome;
}

TExportOutcome TExportService::Run(const TExportRequest& request) {
  TJob job;
  Cancelled = false;
  job.Exporter.SetCancelFlag(&Cancelled);
  job.LargeExporter.SetCancelFlag(&Cancelled);
  TExportOutcome outcome = Prepare(request, job);
  if (!outcome.Ok()) return outcome;
  return Produce(job, Progress, &Cancelled);
}

bool TExportService::Start(const TExportRequest& request,
                           std::function<void(const TExportOutcome&)> done) {
  if (Running) {
    TExportOutcome busy;
    busy.SetFailure(TErrorCode::Busy, "an export is already running");
    if (done) done(busy);
    return false;
  }
  auto job = std::make_shared<TJob>();
  Cancelled = false;
  job->Exporter.SetCancelFlag(&Cancelled);
  job->LargeExporter.SetCancelFlag(&Cancelled);
  TExportOutcome planned = Prepare(request, *job);
  if (!planned.Ok()) {
    if (done) done(planned);
    return false;
  }
  if (Worker.joinable()) Worker.join();  // the last export, already at its end
  Running = true;
  Worker = std::thread(
      [this, job, done = std::move(done), alive = std::weak_ptr<int>(Alive), progress = Progress] {
        TPostedProgress posted(Gui, progress, alive);
        TExportOutcome outcome;
        try {
          outcome = Produce(*job, &posted, &Cancelled);
        } catch (const std::exception& e) {
          outcome.SetFailure(TErrorCode::Internal, e.what());
        }
        Gui.Post([this, alive, done, outcome = std::move(outcome)] {
          if (!alive.lock()) return;
          Running = false;
          if (done) done(outcome);
        });
      });
  return true;
}

}  // namespace kalvane
