#include "export/VideoOutput.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <unordered_map>

#include "base/AtomicFile.h"
#include "base/Round.h"
#include "export/FramePlanner.h"
#include "export/LayerToSwf.h"

namespace kalvane {

namespace {

// Cuts each frame and converts it to the encoder's pixels on the workers;
// encodes in item order on the pipeline's thread.
class TVideoSink : public TFrameSink {
 public:
  TVideoSink(TVideoWriter& writer, const std::vector<TFramePlan>& frames, bool keep)
      : Writer(writer), Pictures(frames.size()), Keep(keep) {
    for (std::size_t i = 0; i < frames.size(); ++i)
      Slots[frames[i].Index] = i;
  }

  TMadeFrame Make(const TFramePlan& frame) const override {
    TMadeFrame made;
    // Once the file cannot be written, the frames still queued are not cut.
    if (Broken) {
      made.Result.SetFailure(TErrorCode::WriteFailed, "the video could not be written");
      return made;
    }
    const TIKImage image = Trimmer.MakeFrameImage(frame);
    if (image.IsEmpty()) {
      made.Result.SetFailure(TErrorCode::Unreadable, image.Error());
      return made;
    }
    made.Result.Warning = image.Warning();
    std::string error;
    TVideoPicture picture = TVideoPicture::FromImage(image, &error);
    if (picture.IsEmpty()) {
      made.Result.SetFailure(TErrorCode::Internal, error);
      return made;
    }
    // Each slot is written by the one worker making that frame and read
    // only after the pipeline handed the frame back.
    Pictures[Slots.at(frame.Index)] = std::move(picture);
    return made;
  }

  void Take(const TFramePlan& frame, TMadeFrame&) override {
    TVideoPicture& picture = Pictures[Slots.at(frame.Index)];
    if (Error.Ok()) {
      Error = Writer.Write(picture);
      if (!Error.Ok()) Broken = true;
    }
    if (!Keep) picture = {};
  }

  const TResult& WriteError() const { return Error; }
  const std::vector<TVideoPicture>& Kept() const { return Pictures; }

 private:
  const TImageTrimToJpeg Trimmer{};
  TVideoWriter& Writer;
  std::unordered_map<int, std::size_t> Slots;  // item index to picture
  mutable std::vector<TVideoPicture> Pictures;
  mutable std::atomic<bool> Broken{false};
  bool Keep;
  TResult Error;
};

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<TVideoCodec> VideoCodecOf(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext == ".mp4") return TVideoCodec::H264;
  if (ext == ".webm") return TVideoCodec::Vp9;
  return std::nullopt;
}

int VideoTurns(int frames, double fps, double minSeconds) {
  if (frames <= 0 || !(fps > 0) || !(minSeconds > 0)) return 1;
  // A hair below a whole turn is that turn: 6 s of 24 frames at 8 a
  // second is two turns, not three.
  const double turns = std::ceil(minSeconds * fps / frames - 1e-9);
  return std::max(1, static_cast<int>(std::min(turns, 1e9)));
}

int VideoCrf(TVideoCodec codec, int quality) {
  const double q = std::clamp(quality, 0, 100);
  // Straight lines through (0, worst) and (75, the encoders' usual level).
  if (codec == TVideoCodec::H264) return RoundInt(51 - q * 28 / 75);
  return RoundInt(63 - q * 32 / 75);
}

TVideoSize EvenVideoSize(int width, int height, double exactHeight) {
  TVideoSize size;
  size.Width = std::max(2, width - width % 2);
  if (size.Width == width) {
    size.Height = height % 2 == 0 ? height : exactHeight < height ? height - 1 : height + 1;
  } else {
    size.Height = 2 * RoundInt(exactHeight * size.Width / width / 2);
  }
  size.Height = std::clamp(size.Height, 2, TFramePlanner::kMaxSide);
  return size;
}

TResult CheckVideoRequest(const TVideoRequest& r) {
  const auto bad = [](const std::string& why) {
    return TResult::Fail(TErrorCode::BadSetting, why);
  };
  if (!(r.Fps >= kVideoMinFps) || r.Fps > kVideoMaxFps)
    return bad("the rate must be from 0.01 to 100 frames a second");
  if (!(r.MinSeconds >= 0) || r.MinSeconds > kVideoMaxSeconds)
    return bad("the shortest length must be from 0 to 3600 seconds");
  if (r.Quality < 0 || r.Quality > 100) return bad("the quality must be from 0 to 100");
  const std::optional<TVideoCodec> named = VideoCodecOf(r.Output);
  if (!named) return bad(r.Output + ": a video is written as .mp4 or .webm");
  if (*named != r.Codec)
    return bad(r.Output + ": the name says " + (*named == TVideoCodec::H264 ? "MP4" : "WebM") +
               ", the video is " + (r.Codec == TVideoCodec::H264 ? "MP4" : "WebM"));
  return {};
}

TExportResult WriteVideo(const TExportPlan& plan, const TVideoRequest& request, IProgress* progress,
                         const std::atomic<bool>* cancel) {
  TExportResult result;
  const auto failed = [&result](const TResult& why) {
    static_cast<TResult&>(result) = why;
    return result;
  };
  if (const TResult checked = CheckVideoRequest(request); !checked.Ok()) return failed(checked);
  if (plan.Frames.empty())
    return failed(TResult::Fail(TErrorCode::NoItems, "the project has no photos"));

  std::vector<TFramePlan> frames = plan.Frames;
  const TFramePlan& first = frames.front();
  const int cropWidth = first.Crop.right - first.Crop.left;
  const double exactHeight =
      cropWidth > 0
          ? static_cast<double>(first.Crop.bottom - first.Crop.top) * first.Width / cropWidth
          : first.Height;
  const TVideoSize size = EvenVideoSize(first.Width, first.Height, exactHeight);
  for (TFramePlan& frame : frames) {
    frame.Width = size.Width;
    frame.Height = size.Height;
  }
  const int count = static_cast<int>(frames.size());
  const int turns = VideoTurns(count, request.Fps, request.MinSeconds);
  const std::size_t turnBytes = static_cast<std::size_t>(count) *
                                static_cast<std::size_t>(size.Width) *
                                static_cast<std::size_t>(size.Height) * 3 / 2;
  const bool keep = turns > 1 && turnBytes <= request.KeepBytes;

  TAtomicFile file(request.Output);
  if (!file.Ok()) return failed(TResult::Fail(TErrorCode::WriteFailed, file.Error()));
  TVideoWriter writer;
  const TVideoSettings settings{request.Codec, size.Width, size.Height, request.Fps,
                                VideoCrf(request.Codec, request.Quality)};
  if (const TResult opened = writer.Open(file.TemporaryPath(), settings); !opened.Ok())
    return failed(opened);

  {
    TExportProgress shown(progress, count * turns, cancel != nullptr);
    TVideoSink sink(writer, frames, keep);
    for (int turn = 0; turn < turns; ++turn) {
      if (turn == 0 || !keep) {
        TExportResult made =
            RunFramePipeline(frames, sink, {&shown, cancel, false, &plan.Unusable});
        if (turn == 0) {
          result.Warnings = std::move(made.Warnings);
          result.Unusable = std::move(made.Unusable);
        }
        if (!sink.WriteError().Ok()) return failed(sink.WriteError());
        if (!made.Ok()) return failed(made);
        continue;
      }
      for (const TVideoPicture& picture : sink.Kept()) {
        if (cancel && *cancel)
          return failed(TResult::Fail(TErrorCode::Cancelled, "the export was cancelled"));
        if (const TResult written = writer.Write(picture); !written.Ok()) return failed(written);
        shown.Step();
      }
    }
  }
  if (const TResult finished = writer.Finish(); !finished.Ok()) return failed(finished);
  if (!file.Commit()) return failed(TResult::Fail(TErrorCode::WriteFailed, file.Error()));
  result.Frames.push_back(request.Output);
  result.Width = size.Width;
  result.Height = size.Height;
  return result;
}

}  // namespace kalvane
