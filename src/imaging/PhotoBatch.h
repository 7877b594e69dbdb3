#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "imaging/BackdropClean.h"
#include "imaging/BackdropMatch.h"
#include "imaging/PhotoFinish.h"

namespace kalvane {

// Everything one preparation run does to a shoot.
struct TPrepSettings {
  bool MatchExposure = false;
  int Reference = 0;  // the photo the others are matched to
  bool WhiteBackground = false;
  TCleanSettings Clean;
  TGeometry Geometry;
  TOutputSettings Output;
  std::string NameTemplate = "{name}";
};

// The arguments' photos: files as they are, folders by the photo files in
// them; all in the editor's name order. Fails for a missing path or a file
// the tool does not read.
TResult CollectPhotoFiles(const std::vector<std::string>& args, std::vector<std::string>& files);

// The output path of every input, or the reason there is none: bad
// settings or template, two photos to one name, or a name that is one of
// the inputs (an original is never written over). Creates no folder.
TResult PlanOutputs(const std::vector<std::string>& inputs, const std::string& folder,
                    const TPrepSettings& settings, std::vector<std::string>& outputs);

// One photo read and evened out: matched to `reference` when given, its
// backdrop cleaned when asked. `atLeast` as LoadPhoto.
TResult PreparePhoto(const std::string& input, const TPrepSettings& settings,
                     const TBackdropStats* reference, int atLeast, TRgbImage& image,
                     TPhotoMeta* meta);
// A photo already read, evened out as PreparePhoto does.
void EvenOutPhoto(TRgbImage& image, const TPrepSettings& settings, const TBackdropStats* reference);

// The longest side a photo must be read at for the settings (0: full).
int LoadSizeFor(const TPrepSettings& settings);

struct TPrepItem {
  std::string Input, Output;
  TResult Result;
  bool Done = false;  // false: not reached before a cancel
};

struct TPrepReport {
  TResult Result;  // the run as a whole: refused, or cancelled
  std::vector<TPrepItem> Items;
  int Written() const;
  int Failed() const;
};

// Runs a shoot on all cores, the reference first. `progress` is called
// after each photo (from a worker thread, one call at a time) with the
// count done so far. Photos already written stay when `cancel` is set;
// those not begun are not written.
TPrepReport RunPreparation(const std::vector<std::string>& inputs, const std::string& folder,
                           const TPrepSettings& settings,
                           const std::function<void(int done, const TPrepItem&)>& progress,
                           const std::atomic<bool>& cancel);

}  // namespace kalvane
