#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/Seams.h"
#include "export/AnimationOutput.h"
#include "export/FramePipeline.h"
#include "imaging/ImageSave.h"

namespace kalvane {

struct TExportPlan;
class TLayerToSwf;

// Sets the exporter for the frames of a set or an animation: all of one
// size, `width` wide or with the longer side `longSide` when above 0, and
// never written as files of their own (a sink takes them).
void SetOneSizeFrames(TLayerToSwf& exporter, int width, int longSide);

// Which photos of `items` a set of `count` takes: evenly spaced around the
// turn, starting with the first (item k * items / count, rounded down).
std::vector<int> PickFrames(int items, int count);

// The file name `pattern` gives a frame: {name} the project's, {index}
// counting from 1 and {angle} in whole degrees, the numbers zero-padded to
// a width as in {index:02}. Empty, with the reason, for an unknown field or
// a name that is not a plain file name.
std::string FrameFileName(const std::string& pattern, const std::string& name, int index, int angle,
                          std::string* error = nullptr);

// A colour for the padding: "white", "#RRGGBB" or "transparent".
std::optional<TCanvas> ParseBackground(const std::string& text);
// "jpg" (or "jpeg"), "png" or "webp".
std::optional<TImageFormat> ParseStillFormat(const std::string& text);
const char* FormatExtension(TImageFormat format);

// The lowest quality a frame is lowered to so it fits a size limit.
inline constexpr int kLeastFitQuality = 60;

// A numbered set of the project's frames in a folder (or one zip there).
struct TFrameSetRequest {
  std::string Folder;
  std::string Name;  // the project's base name: {name}, and the zip's name
  int Count = 0;     // 0: every photo
  bool Square = false;
  TCanvas Background;  // size unused: the square's
  TImageFormat Format = TImageFormat::Jpeg;
  int Quality = 85;
  // Above 0: a JPEG or WebP frame larger than this is made again at a
  // lower quality, the highest that fits, never below kLeastFitQuality.
  std::uint64_t MaxBytes = 0;
  std::string Pattern = "{name}_{index:02}";
  bool Zip = false;
};

// Refuses, before any frame is made, what cannot be written: more frames
// than photos, transparency in a JPEG, names that clash or are no file
// names (a "\" or a control character in the template or the project's
// name), a folder where no set may go, a folder or a write-protected file
// where a file of the set goes or an earlier one is removed. BadSetting for
// the request's own faults.
TResult CheckFrameSet(const TFrameSetRequest& request, int items);

// Writes the set from a plan of every item's frames of one size (planned
// with TFrameShape::OneSize). The set is made in a folder beside the
// target and put in place as a set (see TStagedFolder): the project's
// earlier set there goes, files of other names stay. On failure Frames
// names the files that were put in place all the same.
TExportResult WriteFrameSet(const TExportPlan& plan, const TFrameSetRequest& request,
                            IProgress* progress, const std::atomic<bool>* cancel = nullptr);

}  // namespace kalvane
