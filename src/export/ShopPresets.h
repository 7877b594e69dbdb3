#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/ExportService.h"

namespace kalvane {

class TIniFile;

// The outputs the editor offers beside the movies, each a preset of
// settings the user may change and the settings file keeps.
struct TShopPreset {
  enum class TKind { FrameSet, Animation, Video };
  std::string Key;  // its keys' prefix in the settings
  TKind Kind = TKind::FrameSet;
  // A frame set.
  int Count = 0;  // 0: every photo
  int Size = 0;   // the longer side; 0: the movie's default width
  bool Square = false;
  std::string Background = "white";  // white, #RRGGBB or transparent
  std::string Format = "jpg";        // jpg, png or webp
  int Quality = 85;
  std::string Name = "{name}_{index:02}";
  bool Zip = false;
  std::uint64_t MaxBytes = 0;  // above 0: each frame's file at most this large
  // An animation, and a video's width and rate.
  int Width = 500;
  double Fps = 8;
  int Loops = 0;  // 0: for ever
  std::string AnimationFormat = "webp";
  // A video.
  std::string VideoFormat = "mp4";  // mp4 or webm
  double MinSeconds = 0;            // the turn repeated until this long
  int VideoQuality = 75;            // 0 to 100
  bool WithWebp = false;            // an animated WebP of the same turn beside an MP4
};

// Amazon's 360° set, a spin host's numbered set, Shopify's MP4 and WebP, a
// video, an animation, Walmart's 360° set.
std::vector<TShopPreset> DefaultShopPresets();

// The counts a marketplace accepts for a set preset, largest first (72,
// 48 and 24 for Amazon's); empty when the preset takes any count.
std::vector<int> MarketplaceCounts(const TShopPreset& preset);
// The marketplace whose rules a set preset is made for (Amazon's,
// Walmart's), which checks the set once it is written.
std::optional<TMarketplace> PresetMarketplace(const TShopPreset& preset);
// Those of them a project of `items` photos can make: a set takes each
// photo once at most.
std::vector<int> PossibleCounts(const TShopPreset& preset, int items);

// The frames a set preset takes from a project of `items` photos: its
// count when the project has that many (0: every photo); else the most of
// the marketplace's counts the project can make, and every photo when it
// can make none or the preset has no such counts.
int ShopFrameCount(const TShopPreset& preset, int items);

// Each value read from the settings' own section, kept when missing or
// not one the preset can take.
// `selected`: the preset chosen last (0 when none or out of range).
void LoadShopPresets(const TIniFile& file, std::vector<TShopPreset>& presets, int& selected);
void SaveShopPresets(TIniFile& file, const std::vector<TShopPreset>& presets, int selected);

// The export a preset asks for, into `output` (a folder for a set, the
// file for an animation or a video); `project` names the set ({name}, the
// zip). A video with a WebP beside it is NAME.mp4 and NAME.webp, whatever
// extension `output` has.
// BadSetting, with the reason, for a value the preset cannot take.
TResult MakeShopRequest(const TShopPreset& preset, const std::string& output,
                        const std::string& project, TExportRequest& request);

}  // namespace kalvane
