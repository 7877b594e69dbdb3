// kalvane-cli frames, anim and video: the outputs shops take, from the frames the
// data movie is made of.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/AppUtil.h"
#include "cli/CliView.h"
#include "cli/CommandSteps.h"
#include "cli/Commands.h"
#include "export/ExportAdvice.h"
#include "export/FrameOutputs.h"
#include "export/LayerToSwf.h"
#include "export/VideoOutput.h"
#include "project/IniFile.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

namespace {

// A number above 0 and at most `high`, nothing else in the text.
std::optional<double> PositiveNumber(const std::string& text, double high) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !(value > 0) || value > high)
    return std::nullopt;
  return value;
}

// A number from 0 to `high`, nothing else in the text.
std::optional<double> NonNegativeNumber(const std::string& text, double high) {
  if (text == "0") return 0.0;
  return PositiveNumber(text, high);
}

// Opens the project without display copies and plans every item's frame,
// all of one size: `width` wide, or with the longer side `longSide`. The
// plan needs nothing of the document afterwards.
int PlanFrames(const std::string& project, int width, int longSide, TExportPlan& plan) {
  TCliView view;
  TProjectDocument document(&view);
  std::error_code ec;
  if (!fs::is_regular_file(project, ec)) return Fail(project + ": no such project file");
  document.LayerItems().SetDisplayCopies(false);
  std::vector<std::string> unusable;
  if (const int rc = OpenProject(project, "", document, false, false, &unusable); rc != kDone)
    return rc;
  TLayerToSwf exporter;
  const TSize work = document.WorkSize();
  exporter.SetItems(&document.LayerItems());
  exporter.SetTrimBox(&document.TrimBox());
  exporter.SetWorkSize(work.Width, work.Height);
  SetOneSizeFrames(exporter, width, longSide);
  if (const TExportResult planned = exporter.Plan(plan); !planned.Ok())
    return Fail(project + ": " + planned.Error);
  plan.Unusable = std::move(unusable);
  return kDone;
}

// One project and -o, as every output command takes them.
std::optional<int> OneProjectAndOutput(const std::vector<std::string>& projects,
                                       const std::string& output, const std::string& needs) {
  if (projects.size() > 1) return BadUsage("more than one project file");
  if (projects.empty()) return BadUsage("a project file is needed");
  if (output.empty()) return BadUsage(needs);
  return std::nullopt;
}

// --fps, when given, into `fps`: a rate above 0 and at most 100, and at
// least `lowest` when that is above 0.
std::optional<int> ReadFps(const TCommandLine& line, const std::string& text, double& fps,
                           double lowest = 0) {
  if (!line.Given("--fps")) return std::nullopt;
  const std::optional<double> r = PositiveNumber(text, kVideoMaxFps);
  if (lowest > 0 && !(r && *r >= lowest))
    return BadUsage("--fps must be a number from " + FormatReal(lowest) + " to 100");
  if (!r) return BadUsage("--fps must be a number above 0 and at most 100");
  fps = *r;
  return std::nullopt;
}

void SayWarnings(const TExportResult& result) {
  for (const std::string& warning : result.Warnings)
    std::cerr << "kalvane-cli: warning: " << warning << "\n";
}

// A count that does not divide the photos takes them at two different
// steps, and the spin jerks: said with the angles and the counts that do.
void SayUneven(int items, int count) {
  const TSetSpacing spacing = SetSpacing(items, count);
  if (spacing.Even) return;
  constexpr std::size_t kShown = 12;
  std::string steps, angles, counts;
  for (const double step : spacing.Steps)
    steps += (steps.empty() ? "" : " and ") + DegreesText(step);
  for (std::size_t k = 0; k < spacing.Angles.size() && k < kShown; ++k)
    angles += (k ? ", " : "") + DegreesText(spacing.Angles[k]);
  if (spacing.Angles.size() > kShown) angles += ", ...";
  for (const int even : EvenCounts(items))
    counts += (counts.empty() ? "" : ", ") + std::to_string(even);
  std::cerr << "kalvane-cli: warning: " << count << " frames do not divide the turn of " << items
            << " photos evenly: they lie " << steps << " degrees apart (" << angles
            << " degrees), so the spin jerks; counts that do: " << counts << "\n";
}

}  // namespace

int Frames(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> projects;
  std::string output, count, size, background = "white", format = "jpg", quality, name, maxBytes;
  bool square = false, zip = false;
  line.Arguments(projects);
  line.Value("-o,--output", output, "a folder");
  line.Value("--count", count, "a number");
  line.Value("--size", size, "a number");
  line.Flag("--square", square);
  line.Value("--background", background, "white, #RRGGBB or transparent");
  line.Value("--format", format, "jpg, png or webp");
  line.Value("--quality", quality, "a number");
  line.Value("--name", name, "a name template");
  line.Flag("--zip", zip);
  line.Value("--max-bytes", maxBytes, "a number of bytes");
  if (const auto rc = line.Parse(args)) return *rc;
  if (const auto rc = OneProjectAndOutput(projects, output, "frames needs -o FOLDER")) return *rc;

  TFrameSetRequest request;
  request.Folder = output;
  request.Name = fs::path(projects[0]).stem().string();
  request.Square = square;
  request.Zip = zip;
  if (line.Given("--name")) request.Pattern = name;
  if (line.Given("--count")) {
    const std::optional<int> n = WholeNumber(count, 1, 1 << 30);
    if (!n) return BadUsage("--count must be a whole number from 1");
    request.Count = *n;
  }
  int longSide = 0;
  if (line.Given("--size")) {
    const std::optional<int> n = WholeNumber(size, 1, TSwfExportWidth::kMaximum);
    if (!n) return BadUsage("--size must be a whole number from 1 to 2500");
    longSide = *n;
  }
  const std::optional<TImageFormat> f = ParseStillFormat(format);
  if (!f) return BadUsage("--format takes jpg, png or webp, not " + format);
  request.Format = *f;
  const std::optional<TCanvas> bg = ParseBackground(background);
  if (!bg) return BadUsage("--background takes white, #RRGGBB or transparent, not " + background);
  request.Background = *bg;
  if (line.Given("--quality")) {
    if (request.Format == TImageFormat::Png)
      return BadUsage("--quality is for jpg and webp; png is lossless");
    const std::optional<int> q = WholeNumber(quality, 1, 100);
    if (!q) return BadUsage("--quality must be a whole number from 1 to 100");
    request.Quality = *q;
  }
  if (line.Given("--max-bytes")) {
    const std::optional<int> n = WholeNumber(maxBytes, 1, 1 << 30);
    if (!n) return BadUsage("--max-bytes must be a whole number of bytes from 1");
    request.MaxBytes = static_cast<std::uint64_t>(*n);
  }
  // What can be told without the photos is said before they are read (as
  // if the project had as many as the set takes). The count is held
  // against the photos the project lists first: the names alone of a
  // billion frames would take gigabytes.
  int listed = 1;
  if (request.Count > 0) {
    TProjectContent content;
    if (const TResult read = ReadProjectFile(projects[0], content); !read.Ok())
      return Fail(read.Error);
    listed = static_cast<int>(content.Items.size());
  }
  if (const TResult checked = CheckFrameSet(request, listed); !checked.Ok())
    return checked.Code == TErrorCode::BadSetting ? BadUsage(checked.Error) : Fail(checked.Error);

  TExportPlan plan;
  if (const int rc = PlanFrames(projects[0], TSwfExportWidth::kDefault, longSide, plan);
      rc != kDone)
    return rc;
  const int items = static_cast<int>(plan.Frames.size());
  if (const TResult checked = CheckFrameSet(request, items); !checked.Ok())
    return checked.Code == TErrorCode::BadSetting ? BadUsage(checked.Error) : Fail(checked.Error);
  // Said before the frames are made, so a long run can be stopped.
  SayUneven(items, request.Count);
  SayEnlarged(EnlargementOf(plan), "--size", std::max(plan.Cut.Width, plan.Cut.Height));
  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  const TExportResult result = WriteFrameSet(plan, request, progress.get());
  SayUnusable(result.Unusable, plan.Unusable.size());
  if (!result.Ok()) {
    return Fail(output +
                (result.Frames.empty() ? ": no frames written: " : ": the set is incomplete: ") +
                result.Error);
  }
  SayWarnings(result);
  const int made = request.Count > 0 ? request.Count : items;
  if (zip) {
    std::printf("wrote %s: %d frames of %d x %d pixels\n", result.Frames.front().c_str(), made,
                result.Width, result.Height);
  } else {
    std::printf("wrote %s: %d frames of %d x %d pixels, %s to %s\n",
                WithTrailingSlash(output).c_str(), made, result.Width, result.Height,
                ExtractName(result.Frames.front()).c_str(),
                ExtractName(result.Frames.back()).c_str());
  }
  return kDone;
}

int Anim(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> projects;
  std::string output, width, fps, loop;
  line.Arguments(projects);
  line.Value("-o,--output", output, "a file name");
  line.Value("--width", width, "a number");
  line.Value("--fps", fps, "a number");
  line.Value("--loop", loop, "a number");
  if (const auto rc = line.Parse(args)) return *rc;
  if (const auto rc = OneProjectAndOutput(projects, output, "anim needs -o OUT.webp or -o OUT.gif"))
    return *rc;
  TAnimationRequest request;
  request.Output = output;
  const std::optional<TImageFormat> format = AnimationFormat(output);
  if (!format) return BadUsage(output + ": anim writes .webp or .gif");
  request.Format = *format;
  int w = TSwfExportWidth::kDefault;
  if (line.Given("--width")) {
    const std::optional<int> n = WholeNumber(width, 1, TSwfExportWidth::kMaximum);
    if (!n) return BadUsage("--width must be a whole number from 1 to 2500");
    w = *n;
  }
  if (const auto rc = ReadFps(line, fps, request.Fps)) return *rc;
  if (const TResult rate = CheckAnimationRate(request.Format, request.Fps); !rate.Ok())
    return BadUsage("--fps " + (line.Given("--fps") ? fps : "8") + ": " + rate.Error);
  if (line.Given("--loop")) {
    const std::optional<int> n = WholeNumber(loop, 0, 65535);
    if (!n) return BadUsage("--loop must be a whole number from 0 (for ever) to 65535");
    request.Loops = *n;
  }
  if (RefusedOutput(output)) return kFailed;

  TExportPlan plan;
  if (const int rc = PlanFrames(projects[0], w, 0, plan); rc != kDone) return rc;
  SayEnlarged(EnlargementOf(plan), "--width", plan.Cut.Width);
  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  const TExportResult result = WriteAnimation(plan, request, progress.get());
  SayUnusable(result.Unusable, plan.Unusable.size());
  if (!result.Ok()) return Fail(output + ": no animation written: " + result.Error);
  SayWarnings(result);
  std::printf("wrote %s: %zu frames of %d x %d pixels, %g a second, %s\n", output.c_str(),
              plan.Frames.size(), result.Width, result.Height, request.Fps,
              request.Loops == 0 ? "looping for ever"
                                 : ("played " + std::to_string(request.Loops) + " times").c_str());
  return kDone;
}

int Video(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> projects;
  std::string output, width, fps, minSeconds, quality;
  line.Arguments(projects);
  line.Value("-o,--output", output, "a file name");
  line.Value("--width", width, "a number");
  line.Value("--fps", fps, "a number");
  line.Value("--min-seconds", minSeconds, "a number");
  line.Value("--quality", quality, "a number");
  if (const auto rc = line.Parse(args)) return *rc;
  if (const auto rc =
          OneProjectAndOutput(projects, output, "video needs -o OUT.mp4 or -o OUT.webm"))
    return *rc;
  TVideoRequest request;
  request.Output = output;
  const std::optional<TVideoCodec> codec = VideoCodecOf(output);
  if (!codec) return BadUsage(output + ": video writes .mp4 (H.264) or .webm (VP9)");
  request.Codec = *codec;
  int w = TSwfExportWidth::kDefault;
  if (line.Given("--width")) {
    const std::optional<int> n = WholeNumber(width, 2, TSwfExportWidth::kMaximum);
    if (!n || *n % 2 != 0)
      return BadUsage(
          "--width must be an even whole number from 2 to 2500 (video pictures "
          "have even sides)");
    w = *n;
  }
  if (const auto rc = ReadFps(line, fps, request.Fps, kVideoMinFps)) return *rc;
  if (line.Given("--min-seconds")) {
    const std::optional<double> s = NonNegativeNumber(minSeconds, kVideoMaxSeconds);
    if (!s) return BadUsage("--min-seconds must be a number from 0 to 3600");
    request.MinSeconds = *s;
  }
  if (line.Given("--quality")) {
    const std::optional<int> q = WholeNumber(quality, 0, 100);
    if (!q) return BadUsage("--quality must be a whole number from 0 to 100");
    request.Quality = *q;
  }
  if (const TResult checked = CheckVideoRequest(request); !checked.Ok())
    return BadUsage(checked.Error);
  if (RefusedOutput(output)) return kFailed;

  TExportPlan plan;
  if (const int rc = PlanFrames(projects[0], w, 0, plan); rc != kDone) return rc;
  // Video pictures have even sides.
  SayEnlarged(EnlargementOf(plan), "--width", plan.Cut.Width / 2 * 2);
  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  const TExportResult result = WriteVideo(plan, request, progress.get());
  SayUnusable(result.Unusable, plan.Unusable.size());
  if (!result.Ok()) return Fail(output + ": no video written: " + result.Error);
  SayWarnings(result);
  const int frames = static_cast<int>(plan.Frames.size());
  const int turns = VideoTurns(frames, request.Fps, request.MinSeconds);
  std::printf(
      "wrote %s: %d frames of %d x %d pixels (%d turn%s of %d), %g a second, %g seconds, %s\n",
      output.c_str(), frames * turns, result.Width, result.Height, turns, turns == 1 ? "" : "s",
      frames, request.Fps, frames * turns / request.Fps,
      request.Codec == TVideoCodec::H264 ? "H.264 in MP4" : "VP9 in WebM");
  return kDone;
}

}  // namespace kalvane::cli
