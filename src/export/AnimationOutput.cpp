#include "export/AnimationOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/HeldFolder.h"
#include "export/ExportTexts.h"
#include "export/LayerToSwf.h"

namespace kalvane {

namespace fs = std::filesystem;

std::optional<TImageFormat> AnimationFormat(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".webp") return TImageFormat::Webp;
  if (ext == ".gif") return TImageFormat::Gif;
  return std::nullopt;
}

namespace {

// A format's frame times: in units of `UnitMs`, from `Shortest` to `Longest`.
struct TFrameTimes {
  double UnitMs;
  double Shortest, Longest;
};

std::optional<TFrameTimes> FrameTimesOf(TImageFormat format) {
  if (format == TImageFormat::Gif) return TFrameTimes{10, 2, 65535};
  if (format == TImageFormat::Webp) return TFrameTimes{1, 11, 16777215};
  return std::nullopt;
}

// The frame time in the format's units, unrounded; infinite for a rate
// too small to divide by.
double Units(const TFrameTimes& t, double fps) {
  return 1000.0 / t.UnitMs / fps;
}

}  // namespace

TResult CheckAnimationRate(TImageFormat format, double fps) {
  const std::optional<TFrameTimes> t = FrameTimesOf(format);
  if (!t) return TResult::Fail(TErrorCode::BadSetting, "animations are WebP or GIF");
  // The ends are the rates themselves; within them a rate goes to the
  // nearest time the file can keep.
  constexpr double kSlack = 1e-9;
  const double units = std::isfinite(fps) && fps > 0 ? Units(*t, fps) : 0;
  if (units >= t->Shortest * (1 - kSlack) && units <= t->Longest * (1 + kSlack)) return {};
  const bool gif = format == TImageFormat::Gif;
  char range[160];
  std::snprintf(range, sizeof range,
                "%s shows from %.8g frames a second down to one frame every %.8g seconds (a frame "
                "lasts %s)",
                gif ? "an animated GIF" : "an animated WebP", 1000.0 / t->UnitMs / t->Shortest,
                t->Longest * t->UnitMs / 1000.0,
                gif ? "2 to 65535 hundredths of a second" : "11 to 16777215 milliseconds");
  return TResult::Fail(TErrorCode::BadSetting, std::string(range));
}

int AnimationDelayMs(TImageFormat format, double fps) {
  const std::optional<TFrameTimes> t = FrameTimesOf(format);
  if (!t || !(fps > 0)) return 0;
  const double units = std::clamp(std::nearbyint(Units(*t, fps)), t->Shortest, t->Longest);
  return static_cast<int>(units * t->UnitMs);
}

namespace {

// A private folder for the frames of one animation, removed with them;
// one a killed export left behind is removed by the next.
class TFrameSpool {
 public:
  TFrameSpool() {
    const std::string prefix = GetTempFolder() + "kalvane-frames-" + std::to_string(getuid()) + "-";
    if (Held.Create(prefix)) {
      Path = WithTrailingSlash(Held.Path());
    } else {
      Reason = prefix + "XXXXXX: cannot make a folder for the frames (" + Held.Why() + ")";
    }
  }
  bool Ok() const { return Held.Ok(); }
  const std::string& Error() const { return Reason; }
  const std::string& Folder() const { return Path; }

 private:
  THeldFolder Held;
  std::string Path, Reason;
};

// Each frame written to the spool as it is made; the files in item order.
class TSpoolSink : public TFrameSink {
 public:
  explicit TSpoolSink(std::string folder) : Folder(std::move(folder)) {}
  TMadeFrame Make(const TFramePlan& frame) const override {
    TMadeFrame made{{}, Trimmer.MakeFrameImage(frame)};
    if (made.Image.IsEmpty()) {
      made.Result.SetFailure(TErrorCode::Unreadable, made.Image.Error());
      return made;
    }
    made.Result.Warning = made.Image.Warning();
    if (const TResult saved = IKSaveSpooled(FileOf(frame), made.Image); !saved.Ok())
      static_cast<TResult&>(made.Result) = saved;
    made.Image = {};
    return made;
  }
  void Take(const TFramePlan& frame, TMadeFrame&) override { Files.push_back(FileOf(frame)); }
  std::vector<std::string> Files;

 private:
  std::string FileOf(const TFramePlan& frame) const {
    return Folder + std::to_string(frame.Index) + ".png";
  }
  const TImageTrimToJpeg Trimmer{};
  std::string Folder;
};

}  // namespace

TExportResult WriteAnimation(const TExportPlan& plan, const TAnimationRequest& request,
                             IProgress* progress, const std::atomic<bool>* cancel) {
  TExportResult result;
  if (const TResult rate = CheckAnimationRate(request.Format, request.Fps); !rate.Ok()) {
    static_cast<TResult&>(result) = rate;
    return result;
  }
  // The output's place is known good before the frames are made.
  TAtomicFile file(request.Output);
  if (!file.Ok()) {
    result.SetFailure(TErrorCode::WriteFailed, file.Error());
    return result;
  }
  const TFrameSpool spool;
  if (!spool.Ok()) {
    result.SetFailure(TErrorCode::WriteFailed, spool.Error());
    return result;
  }
  TSpoolSink sink(spool.Folder());
  // Shown until the file is written: the encoding takes longer than the
  // frames, and may be cancelled too.
  TExportProgress shown(progress, static_cast<int>(plan.Frames.size()), cancel != nullptr);
  result = RunFramePipeline(plan.Frames, sink, {&shown, cancel, false, &plan.Unusable});
  if (!result.Ok()) return result;
  constexpr int kSteps = 100;
  shown.Phase(kEncodeAnimationMessage, kSteps);
  shown.SetPosition(0);
  int shownPercent = 0;
  const auto encoding = [&](int percent) {
    if (percent > shownPercent) {
      shownPercent = std::min(percent, kSteps);
      shown.SetPosition(shownPercent);
    }
    return !(cancel && *cancel);
  };
  TResult done =
      IKEncodeAnimation(sink.Files, request.Format, AnimationDelayMs(request.Format, request.Fps),
                        request.Loops, file.TemporaryPath(), encoding);
  // The encoder looks at the flag only as its progress moves; a cancel
  // that came after its last look still leaves the earlier file.
  if (done.Ok() && cancel && *cancel)
    done = TResult::Fail(TErrorCode::Cancelled, "the export was cancelled");
  if (done.Ok() && !file.Commit()) done = TResult::Fail(TErrorCode::WriteFailed, file.Error());
  if (!done.Ok()) {
    static_cast<TResult&>(result) = done;
    return result;
  }
  result.Frames.push_back(request.Output);
  result.Width = plan.Width;
  result.Height = plan.Height;
  return result;
}

}  // namespace kalvane
