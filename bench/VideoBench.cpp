// The video of 36 photos of 4000 x 3000 (offsets, a quarter turn to the
// left) at width 1080, cut and encoded by kalvane, against the ffmpeg
// program encoding the same frames from JPEG files at the same settings
// (codec, preset, quality level, pixel format, index at the front).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "export/LayerToSwf.h"
#include "export/VideoOutput.h"
#include "imaging/ImageTrimToJpeg.h"
#include "project/ProjectDocument.h"

namespace kalvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1080;
constexpr double kFps = 8;

const std::string& VideoProject() {
  static const std::string path = TurnedProject("video", LargeFiles());
  return path;
}

// The frames as kalvane-cli video plans them: all of one size.
TExportPlan Plan(const std::string& folder) {
  return PlanOneSize(VideoProject(), kWidth, 0, folder);
}

const char* Name(TVideoCodec codec) {
  return codec == TVideoCodec::H264 ? "mp4" : "webm";
}

void BM_Video(benchmark::State& state) {
  const TVideoCodec codec = state.range(0) == 0 ? TVideoCodec::H264 : TVideoCodec::Vp9;
  const std::string out = EmptyFolder(std::string("video-ours-") + Name(codec));
  const TExportPlan plan = Plan(out);
  if (plan.Frames.size() != LargeFiles().size()) {
    state.SkipWithError("the project did not plan");
    return;
  }
  const double seconds = TimeEach(state, [&] {
    TVideoRequest request;
    request.Output = out + "spin." + Name(codec);
    request.Codec = codec;
    request.Fps = kFps;
    return WriteVideo(plan, request, nullptr).Ok();
  });
  Record(std::string("video kalvane ") + Name(codec), seconds);
}

void BM_VideoPeer(benchmark::State& state) {
  const TVideoCodec codec = state.range(0) == 0 ? TVideoCodec::H264 : TVideoCodec::Vp9;
  if (std::system("command -v ffmpeg >/dev/null") != 0) {
    state.SkipWithError("ffmpeg is missing");
    return;
  }
  const std::string out = EmptyFolder(std::string("video-ffmpeg-") + Name(codec));
  TExportPlan plan = Plan(out);
  if (plan.Frames.empty()) {
    state.SkipWithError("the project did not plan");
    return;
  }
  // The same frames, at the video's size, as the data movie's JPEG files.
  const TFramePlan& first = plan.Frames.front();
  const TVideoSize size = EvenVideoSize(first.Width, first.Height, first.Height);
  const TImageTrimToJpeg trimmer;
  for (TFramePlan& frame : plan.Frames) {
    frame.Width = size.Width;
    frame.Height = size.Height;
    if (!trimmer.MakeFrame(frame).Ok()) {
      state.SkipWithError("a frame could not be made");
      return;
    }
  }
  const TVideoRequest settings;  // the defaults kalvane uses
  const std::string crf = std::to_string(VideoCrf(codec, settings.Quality));
  const std::string encoder =
      codec == TVideoCodec::H264
          ? "-c:v libx264 -preset medium -crf " + crf + " -movflags +faststart"
          : "-c:v libvpx-vp9 -crf " + crf + " -b:v 0 -deadline good -cpu-used 4 -row-mt 1";
  const std::string command = "ffmpeg -v error -y -framerate " + std::to_string(kFps) + " -i " +
                              out + "%d.jpg " + encoder + " -pix_fmt yuv420p " + out + "peer." +
                              Name(codec);
  Record(std::string("video ffmpeg ") + Name(codec), TimeCommandEach(state, command));
}

BENCHMARK(BM_Video)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_VideoPeer)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace kalvane::bench
