#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "base/Result.h"
#include "base/Seams.h"
#include "export/FramePipeline.h"
#include "imaging/ImageSave.h"

namespace kalvane {

struct TExportPlan;

// An animated WebP or GIF of every frame.
struct TAnimationRequest {
  std::string Output;
  TImageFormat Format = TImageFormat::Webp;
  double Fps = 8;  // the simple preview's rate
  int Loops = 0;   // 0: for ever
};
// The format `path`'s extension names (.webp or .gif).
std::optional<TImageFormat> AnimationFormat(const std::string& path);

// The rates a format shows as they are meant. A GIF keeps a frame's time
// in hundredths of a second, 16 bits: 2 to 65535 (browsers slow 0 and 1
// to a tenth of a second). A WebP keeps milliseconds, 24 bits: 11 to
// 16777215 (browsers, and the encoder, take 10 or less as 100). Other
// rates, and other formats, are refused (BadSetting) with the range in
// the message.
TResult CheckAnimationRate(TImageFormat format, double fps);
// A frame's time at `fps`, in milliseconds, as the file will keep it (a
// GIF's rounded to hundredths of a second); for a rate the check takes.
int AnimationDelayMs(TImageFormat format, double fps);

// Written atomically; the frames must be of one size (TFrameShape::OneSize).
// The frames are made on every core and kept on disk (in the temporary
// folder, as a private folder removed afterwards) until the encoder takes
// them one by one, so memory does not grow with their number.
TExportResult WriteAnimation(const TExportPlan& plan, const TAnimationRequest& request,
                             IProgress* progress, const std::atomic<bool>* cancel = nullptr);

}  // namespace kalvane
