#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

#include "base/Result.h"
#include "base/Seams.h"
#include "export/FramePipeline.h"
#include "imaging/VideoEncoder.h"

namespace kalvane {

struct TExportPlan;

// The video of the turn: every frame in item order, the turn repeated
// until the video lasts long enough.
struct TVideoRequest {
  std::string Output;
  TVideoCodec Codec = TVideoCodec::H264;
  double Fps = 8;         // the simple preview's rate
  double MinSeconds = 0;  // 0: one turn
  int Quality = 75;       // 0 to 100, mapped to the encoder's quality level
  // Memory the pictures of a turn shown again may take; beyond it each
  // further turn is made again from the photos.
  std::size_t KeepBytes = std::size_t{768} << 20;
};

// Limits of a request, for the command line's messages. The encoders take
// a rate as a fraction; far below a frame a second a video is no turn any
// more, and a rate such as 1e-320 has no fraction at all.
inline constexpr double kVideoMinFps = 0.01;
inline constexpr double kVideoMaxFps = 100;
inline constexpr double kVideoMaxSeconds = 3600;

// The codec `path`'s extension names: .mp4 H.264, .webm VP9.
std::optional<TVideoCodec> VideoCodecOf(const std::string& path);

// Whole turns of `frames` pictures at `fps` that last at least
// `minSeconds`; at least one.
int VideoTurns(int frames, double fps, double minSeconds);

// The encoder's constant-quality level for a quality of 0 (smallest) to
// 100 (best): 75 gives H.264's usual 23 and VP9's 31; 100 stays short of
// lossless, which browsers do not play.
int VideoCrf(TVideoCodec codec, int quality);

// The size of a video made of frames of `width` x `height`, whose exact
// height is `exactHeight`: sides even, as 4:2:0 pictures need. An odd
// height goes to the even neighbour nearer the exact one; an odd width
// (only the side limit gives one) loses a pixel and the height follows.
struct TVideoSize {
  int Width = 0, Height = 0;
};
TVideoSize EvenVideoSize(int width, int height, double exactHeight);

// Refuses what cannot be written before any frame is made: a rate below
// kVideoMinFps or above kVideoMaxFps, a length below 0 or above
// kVideoMaxSeconds, a quality outside 0 to 100, an output whose extension
// names another codec. BadSetting.
TResult CheckVideoRequest(const TVideoRequest& request);

// Writes the video from a plan of frames of one size (TFrameShape::OneSize),
// atomically: through a temporary beside the output, renamed over it when
// complete. Frames are made on every core; a turn shown again is encoded
// from the pictures kept in memory (or made again beyond KeepBytes).
// Width and Height of the result are the video's.
TExportResult WriteVideo(const TExportPlan& plan, const TVideoRequest& request, IProgress* progress,
                         const std::atomic<bool>* cancel = nullptr);

}  // namespace kalvane
