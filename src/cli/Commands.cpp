#include "cli/Commands.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "cli/BatchDialogs.h"
#include "cli/CliView.h"
#include "cli/CommandSteps.h"
#include "document/AutoAlign.h"
#include "export/DesignExport.h"
#include "export/ExportService.h"
#include "export/ExportTexts.h"
#include "export/HtmlPreview.h"
#include "export/LocalServer.h"
#include "export/PageSetFolder.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

namespace {

bool ReadableFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

int Load(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> inputs;
  line.Arguments(inputs);
  if (const auto rc = line.Parse(args)) return *rc;
  if (inputs.empty()) inputs.push_back(GetDataFolder() + "samples/turntable");
  std::vector<std::string> files;
  if (!CollectPhotos(inputs, false, files)) return kFailed;
  if (files.empty()) return Fail("no image files (.bmp .jpg .gif .png .tif) to load");

  const auto start = std::chrono::steady_clock::now();
  TCliView view;
  TProjectDocument document(&view);
  TBatchDialogs dialogs("");
  TPrjItemLoadThread loader;
  loader.SetMainWindow(&document);
  loader.SetDialogs(&dialogs);
  loader.SetFiles(files);
  loader.Run();
  TLayerManagement& items = document.LayerItems();
  items.Render();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  for (const TRejectedFile& rejected : loader.Rejected()) {
    std::cerr << "kalvane-cli: " << rejected.Reason << "\n";
  }
  std::printf("items: %d (not registered: %d)\n", items.Count(), loader.GetRejectedCount());
  std::printf("item scale: %.6g\n", items.GetItemScale());
  for (int i = 0; i < items.Count(); ++i) {
    const TLayerItemObject* item = items.GetItem(i);
    const TBitmap24* display = item->GetDisplayBitmap();
    std::printf("  %3d  %-32s %4d x %-4d\n", i, item->GetItemName().c_str(), display->Width(),
                display->Height());
  }
  std::printf("work bitmap: %d x %d\n", document.WorkBitmap().Width(),
              document.WorkBitmap().Height());
  std::printf("time: %.3f s (%.1f ms a photo)\n", seconds,
              1000.0 * seconds / static_cast<double>(files.size()));
  return items.Count() > 0 ? kDone : kFailed;
}

int Info(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> projects;
  line.Arguments(projects);
  if (const auto rc = line.Parse(args)) return *rc;
  if (projects.size() != 1) return BadUsage("info takes one project file");
  const std::string& path = projects[0];
  TProjectContent c;
  if (const TResult read = ReadProjectFile(path, c); !read.Ok()) return Fail(read.Error);
  std::printf("project: %s\n", path.c_str());
  std::printf("items: %zu (itemCount=%d)\n", c.Items.size(), c.ItemCount);
  int missing = 0;
  for (const TProjectItemEntry& item : c.Items) {
    const bool found = ReadableFile(item.Name);
    missing += found ? 0 : 1;
    const std::string fine =
        item.HasFine ? " (" + FormatReal(item.FX) + ", " + FormatReal(item.FY) + " photo pixels)"
                     : "";
    std::printf("  %3d  %s  offset (%d, %d)%s%s\n", item.Index, item.Name.c_str(), item.X, item.Y,
                fine.c_str(), found ? "" : "  [missing]");
  }
  std::printf("rotation: %d (hundredths of a degree)\n", c.Rotation);
  std::printf("guides: %zu\n", c.Guides.size());
  for (const TProjectGuideEntry& g : c.Guides) {
    std::printf("  %s at %s\n", g.Orientation == 1 ? "horizontal" : "vertical",
                FormatReal(g.RelPos).c_str());
  }
  std::printf("trimming box: %s %s %s %s\n", FormatReal(c.Box.p1x).c_str(),
              FormatReal(c.Box.p1y).c_str(), FormatReal(c.Box.p2x).c_str(),
              FormatReal(c.Box.p2y).c_str());
  std::printf("missing images: %d\n", missing);
  return kDone;
}

namespace {

enum class TExportCommand { Export, Mobile, Design, Preview };

// The options the exporting commands share.
struct TExportOptions {
  std::string Project, Output, Search, Design, Title, Description;
  // The viewer's turn and loading as given; empty: the design's own.
  std::string Autoplay, ResumeAfter, OnTouch, LoadOn;
  int Width = TSwfExportWidth::kDefault;
  bool Help = true;
  bool SkipUnreadable = false;  // export what can be read; name the rest
  bool Overwrite = false;       // a page set may replace files of other origin
};

// Empty when the command goes on; otherwise its exit status.
std::optional<int> ParseOptions(const std::vector<std::string>& args, TExportCommand command,
                                TExportOptions& o) {
  const bool design = command == TExportCommand::Design;
  TCommandLine line;
  std::vector<std::string> projects;
  std::string width;
  bool noHelp = false;
  line.Arguments(projects);
  if (command != TExportCommand::Preview)
    line.Value("-o,--output", o.Output, design ? "a folder" : "a file name");
  if (command == TExportCommand::Mobile) {
    line.Refuse("--width", "the mobile movie's frames are 160 pixels wide; --width does not apply");
  } else {
    line.Value("--width", width, "a number");
  }
  line.Value("--search", o.Search, "a folder");
  line.Flag("--skip-unreadable", o.SkipUnreadable);
  if (design) {
    line.Value("--design", o.Design, "THEME/DESIGN");
    line.Flag("--no-help", noHelp);
    line.Flag("--overwrite", o.Overwrite);
    line.Value("--title", o.Title, "the product's name");
    line.Value("--description", o.Description, "the product's text");
    line.Value("--autoplay", o.Autoplay, "none, once or loop");
    line.Value("--resume-after", o.ResumeAfter, "seconds");
    line.Value("--on-touch", o.OnTouch, "stop or pause");
    line.Value("--load-on", o.LoadOn, "near or click");
  }
  if (const auto rc = line.Parse(args)) return *rc;
  o.Help = !noHelp;
  if (projects.size() > 1) return BadUsage("more than one project file");
  if (line.Given("--width")) {
    const std::optional<int> w = WholeNumber(width, 1, TSwfExportWidth::kMaximum);
    if (!w) return BadUsage("--width must be a whole number from 1 to 2500");
    o.Width = *w;
  }
  if (projects.empty()) return BadUsage("a project file is needed");
  o.Project = projects.front();
  if (command == TExportCommand::Export && o.Output.empty())
    return BadUsage("export needs -o OUT.swf");
  if (command == TExportCommand::Mobile && o.Output.empty())
    return BadUsage("mobile needs -o OUT.swf");
  if (design && o.Output.empty()) return BadUsage("design needs -o FOLDER");
  if (design && o.Design.empty()) return BadUsage("design needs --design THEME/DESIGN");
  if (!o.Autoplay.empty() && o.Autoplay != "none" && o.Autoplay != "once" && o.Autoplay != "loop")
    return BadUsage("--autoplay takes none, once or loop");
  if (!o.ResumeAfter.empty() && !WholeNumber(o.ResumeAfter, 0, TViewerSettings::kMaxResume))
    return BadUsage("--resume-after must be a whole number of seconds from 0 to 3600");
  if (!o.OnTouch.empty() && o.OnTouch != "stop" && o.OnTouch != "pause")
    return BadUsage("--on-touch takes stop or pause");
  if (!o.LoadOn.empty() && o.LoadOn != "near" && o.LoadOn != "click")
    return BadUsage("--load-on takes near or click");
  if (CheckSearchFolder(o.Search) != kDone) return kFailed;
  if (!ReadableFile(o.Project)) return Fail(o.Project + ": no such project file");
  if ((command == TExportCommand::Export || command == TExportCommand::Mobile) &&
      RefusedOutput(o.Output)) {
    return kFailed;
  }
  return std::nullopt;
}

// Opens the project without display copies (the export needs only each
// photo's size) and runs one export of it.
int RunExport(const TExportOptions& o, TExportRequest request, TExportOutcome* outcome = nullptr) {
  TCliView view;
  TProjectDocument document(&view);
  document.LayerItems().SetDisplayCopies(false);
  // A strict export still tries every photo the load took, to name all
  // those it cannot use in one run.
  if (const int rc =
          OpenProject(o.Project, o.Search, document, o.SkipUnreadable, true, &request.Unusable);
      rc != kDone)
    return rc;

  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  TDirectDispatcher direct;
  TExportService service(document, direct);
  service.SetProgress(progress.get());
  request.Width = o.Width;
  request.SkipUnreadable = o.SkipUnreadable;
  const TExportOutcome result = service.Run(request);
  // Photos whose header read well but whose data did not decode.
  for (const std::string& skipped : result.Skipped)
    std::cerr << "kalvane-cli: skipped: " << skipped << "\n";
  SayUnusable(result.Unusable, request.Unusable.size());
  if (!result.Ok()) {
    return Fail((result.Movie.empty() ? request.Output : result.Movie) +
                ": no movie written: " + result.Error + SkipHint(result.Unusable));
  }
  for (const std::string& warning : result.Warnings)
    std::cerr << "kalvane-cli: warning: " << warning << "\n";
  // The phones' movie has its one width.
  if (request.Kind != TExportKind::Mobile)
    SayEnlarged(result.Enlargement, "--width", result.Enlargement.Cut.Width);
  std::printf("wrote %s: %zu frames of %d x %d pixels\n", result.Movie.c_str(),
              result.Frames.size(), result.Width, result.Height);
  if (outcome) *outcome = result;
  return kDone;
}

}  // namespace

int Export(const std::vector<std::string>& args) {
  TExportOptions o;
  if (const auto rc = ParseOptions(args, TExportCommand::Export, o)) return *rc;
  TExportRequest request;
  request.Output = o.Output;
  return RunExport(o, request);
}

int Mobile(const std::vector<std::string>& args) {
  TExportOptions o;
  if (const auto rc = ParseOptions(args, TExportCommand::Mobile, o)) return *rc;
  TExportRequest request;
  request.Kind = TExportKind::Mobile;
  request.Output = o.Output;
  TExportOutcome outcome;
  if (const int rc = RunExport(o, request, &outcome); rc != kDone) return rc;
  const long long size = GetFileSizeOf(outcome.Movie);
  std::printf("movie size: %lld bytes\n", size);
  if (size >= kMobileSizeLimit) {
    std::string text = MobileDoneText(size);
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::printf("%s\n", text.c_str());
  }
  return kDone;
}

int Designs(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> extra;
  line.Arguments(extra);
  if (const auto rc = line.Parse(args)) return *rc;
  if (!extra.empty()) return BadUsage("designs takes no arguments");
  const std::string folder = GetTemplateFolder();
  const std::vector<std::string> themes = TDesignExport::Themes(folder);
  if (themes.empty()) return Fail(folder + ": no design templates installed");
  for (const std::string& theme : themes) {
    for (const std::string& design : TDesignExport::Designs(folder + theme)) {
      std::printf("%s/%s\n", theme.c_str(), design.c_str());
    }
  }
  return kDone;
}

namespace {

// The design's own viewer settings with what the command line changes;
// nothing when it changes none.
std::optional<TViewerSettings> ViewerFor(const TExportOptions& o, const std::string& design) {
  if (o.Autoplay.empty() && o.ResumeAfter.empty() && o.OnTouch.empty() && o.LoadOn.empty())
    return std::nullopt;
  std::ifstream script(design + "/velzoom.js", std::ios::binary);
  TViewerSettings s = ReadViewerSettings(
      {std::istreambuf_iterator<char>(script), std::istreambuf_iterator<char>()});
  if (!o.Autoplay.empty()) {
    s.Autoplay = o.Autoplay != "none";
    if (s.Autoplay) s.SpinOnce = o.Autoplay == "once";
  }
  if (!o.ResumeAfter.empty()) s.ResumeAfter = *WholeNumber(o.ResumeAfter, 0, s.kMaxResume);
  if (!o.OnTouch.empty()) s.StopOnTouch = o.OnTouch == "stop";
  if (!o.LoadOn.empty()) s.LoadOnClick = o.LoadOn == "click";
  return s;
}

}  // namespace

int Design(const std::vector<std::string>& args) {
  TExportOptions o;
  if (const auto rc = ParseOptions(args, TExportCommand::Design, o)) return *rc;
  const std::string design = GetTemplateFolder() + o.Design;
  std::error_code ec;
  if (o.Design.find("..") != std::string::npos || !fs::is_directory(design, ec) ||
      !fs::exists(design + "/prev.jpg", ec)) {
    return BadUsage(o.Design + ": no such design (kalvane-cli designs lists them)");
  }
  // Refused before the photos are read, and again by the export itself.
  if (const TResult allowed = CheckPageSetOutput(o.Output, design, o.Overwrite); !allowed.Ok()) {
    return Fail(allowed.Error +
                (allowed.Code == TErrorCode::WouldReplace ? " (--overwrite replaces them)" : ""));
  }
  TExportRequest request;
  request.Kind = TExportKind::PageSet;
  request.Output = o.Output;
  request.Design = design;
  request.UseHelp = o.Help;
  request.Overwrite = o.Overwrite;
  request.Title = o.Title;
  request.Description = o.Description;
  request.Viewer = ViewerFor(o, design);
  if (const int rc = RunExport(o, request); rc != kDone) return rc;
  const std::string folder = WithTrailingSlash(o.Output);
  std::printf(
      "page set in %s: open velzoom.html through a web server, for example\n"
      "  kalvane-cli serve %s\n",
      folder.c_str(), folder.c_str());
  return kDone;
}

namespace {

// Serves the folder until Ctrl+C, after printing the address of `page`.
int ServeUntilStopped(const std::string& folder, int port, const std::string& page) {
  // Blocked before the server thread starts, so sigwait below receives them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  TLocalServer server;
  if (const TResult started = server.Start(folder, static_cast<std::uint16_t>(port));
      !started.Ok()) {
    return Fail(started.Error);
  }
  std::printf("serving %s at %s (Ctrl+C ends)\n", folder.c_str(), server.Url(page).c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  return kDone;
}

}  // namespace

int Preview(const std::vector<std::string>& args) {
  TExportOptions o;
  if (const auto rc = ParseOptions(args, TExportCommand::Preview, o)) return *rc;
  TExportRequest request;
  request.Kind = TExportKind::HtmlPreview;
  if (const int rc = RunExport(o, request); rc != kDone) return rc;
  return ServeUntilStopped(THtmlPreview().Folder(), 0, THtmlPreview::kPage);
}

int Serve(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> folders;
  std::string port = "8631";
  line.Arguments(folders);
  line.Value("--port", port, "a number");
  if (const auto rc = line.Parse(args)) return *rc;
  if (folders.size() > 1) return BadUsage("serve takes FOLDER [--port N]");
  const std::optional<int> number = WholeNumber(port, 0, 65535);
  if (!number) return BadUsage("--port must be 0 to 65535");
  if (folders.empty()) return BadUsage("serve needs a folder");
  return ServeUntilStopped(folders.front(), *number, "velzoom.html");
}

int Align(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> projects;
  std::string output, search, regionText;
  line.Arguments(projects);
  line.Value("-o,--output", output, "a file name");
  line.Value("--search", search, "a folder");
  line.Value("--region", regionText, "L,T,R,B");
  if (const auto rc = line.Parse(args)) return *rc;
  if (projects.size() > 1)
    return BadUsage("align takes PROJECT.vpj -o OUT.vpj [--region L,T,R,B] [--search DIR]");
  TAlignRegion region;
  if (line.Given("--region")) {
    const std::optional<TFractionBox> box = FractionBox(regionText);
    if (!box) {
      return BadUsage("--region takes L,T,R,B: fractions of the image, left < right, top < bottom");
    }
    region = {box->Left, box->Top, box->Right, box->Bottom};
  }
  if (projects.empty() || output.empty()) return BadUsage("align needs a project and -o OUT.vpj");
  const std::string& project = projects.front();
  if (const int rc = CheckSearchFolder(search); rc != kDone) return rc;
  if (!ReadableFile(project)) return Fail(project + ": no such project file");
  if (RefusedOutput(output)) return kFailed;
  TCliView view;
  TProjectDocument document(&view);
  if (const int rc = OpenProject(project, search, document); rc != kDone) return rc;
  const TAlignReport report = AlignItems(document, region);
  TPrjSave save;
  save.SetMainWindow(&document);
  if (const TResult saved = save.Save(output); !saved.Ok()) return Fail(saved.Error);
  std::printf("aligned %zu items in %.2f s (%d kept their offsets); wrote %s\n", report.Items,
              report.Seconds, report.Untrusted, output.c_str());
  return kDone;
}

}  // namespace kalvane::cli
