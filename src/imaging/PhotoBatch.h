#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/Result.h"
#include "imaging/BackdropClean.h"
#include "imaging/BackdropMatch.h"
#include "imaging/PhotoFinish.h"
#include "imaging/PrepResult.h"

namespace kalvane {

// Cutting the product out of every photo of a spin.
enum class TCutoutMode { None, White, Transparent };
struct TCutoutSettings {
  TCutoutMode Mode = TCutoutMode::None;
  bool SoftShadow = false;  // one soft shadow under the product, the same in every frame
};

// Everything one preparation run does to a shoot.
struct TPrepSettings {
  bool MatchExposure = false;
  // The photo the others are matched to; its shape is the frame of all.
  int Reference = 0;
  bool WhiteBackground = false;
  TCleanSettings Clean;
  TCutoutSettings Cutout;
  // A photo of the empty set: the backdrop a cut-out keys against.
  std::string CutoutPlate;
  TGeometry Geometry;
  // Each photo's own level, by its path; the others take Geometry's.
  std::map<std::string, double> Levels;
  TOutputSettings Output;
  std::string NameTemplate = "{name}";
  // Outputs of an earlier run in the folder are removed first (else refused).
  bool ReplaceEarlier = false;

  TGeometry GeometryFor(const std::string& input) const;
};

// The arguments' photos: files as they are, folders by the photo files in
// them; all in the editor's name order. Fails for a missing path or a file
// the tool does not read.
TResult CollectPhotoFiles(const std::vector<std::string>& args, std::vector<std::string>& files);

// The output path of every input, or the reason there is none: bad
// settings or template, a folder no output goes into (the root, the home
// folder itself, a system folder), a name with a "\" or a control
// character, two photos to one name, or a name that is one of the inputs
// (an original is never written over). Creates no folder.
TPrepResult PlanOutputs(const std::vector<std::string>& inputs, const std::string& folder,
                        const TPrepSettings& settings, std::vector<std::string>& outputs);

// The one size every photo of the run is written at: the reference
// photo's shape, as long as the settings ask but never longer than the
// shortest photo unless enlarging. Read from the photos' headers; empty
// when none can be read.
TFrameSize PlanFrame(const std::vector<std::string>& inputs, const TPrepSettings& settings);

// One photo read and evened out: matched to `reference` when given, its
// backdrop cleaned when asked. `atLeast` as LoadPhoto.
TPrepResult PreparePhoto(const std::string& input, const TPrepSettings& settings,
                         const TBackdropStats* reference, int atLeast, TRgbImage& image,
                         TPhotoMeta* meta, TCleanReport* cleaned = nullptr);
// A photo already read, evened out as PreparePhoto does.
TCleanReport EvenOutPhoto(TRgbImage& image, const TPrepSettings& settings,
                          const TBackdropStats* reference);

// The longest side a photo must be read at to fill `frame` (0: full).
int LoadSizeFor(const TPrepSettings& settings, TFrameSize frame);

struct TPrepItem {
  std::string Input, Output;
  TPrepResult Result;
  bool Done = false;        // false: not reached before a cancel
  bool LostColour = false;  // the white background took colour from the product
  bool NoProduct = false;   // the cut-out found nothing but backdrop
};

struct TPrepReport {
  TPrepResult Result;  // the run as a whole: refused, or cancelled
  std::vector<TPrepItem> Items;
  TFrameSize Frame;
  int Written() const;
  int Failed() const;
};

// The memory the photos in work at once may take together, by
// PhotoLoadBytes; a photo that needs more is prepared alone.
inline constexpr long long kPrepMemoryBudget = 2LL << 30;

// Runs a shoot on all cores (up to four), the reference first, as many
// photos at once as kPrepMemoryBudget holds. A cut-out first finds every
// photo's mask on a reduced copy (`looked` is told how many so far), so
// each frame's can lean on its neighbours' and the shadow can be the same
// in all; then each photo is cut out at its own size and written. A folder holding an
// earlier run's outputs is refused unless the settings replace them; files
// of our names that we did not write are never replaced. `progress` is
// called after each photo (from a worker thread, one call at a time) with
// the count done so far. Photos already written stay when `cancel` is
// set; those not begun are not written.
TPrepReport RunPreparation(const std::vector<std::string>& inputs, const std::string& folder,
                           const TPrepSettings& settings,
                           const std::function<void(int done, const TPrepItem&)>& progress,
                           const std::atomic<bool>& cancel,
                           const std::function<void(int looked)>& looked = nullptr);

}  // namespace kalvane
