#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "imaging/FrameFacts.h"
#include "imaging/VideoProbe.h"

namespace kalvane {

enum class TMarketplace { Amazon, Walmart, Google, Shopify };

// "amazon", "walmart", "google" or "shopify".
std::optional<TMarketplace> ParseMarketplace(const std::string& text);
const char* MarketplaceKey(TMarketplace market);

// What a rule asks, for a window to word it in its own language.
enum class TRule {
  Readable,
  Count,
  Format,
  Square,
  Side,
  WhiteBorder,
  Fills,
  Centred,
  Names,
  Bytes,
  Mp4,
  PixelFormat,
  Seconds
};

// One rule of a marketplace, and where a set breaks it: "frame 7: border
// pixel (0, 412) = 243".
struct TRuleCheck {
  std::string Rule;
  bool Passed = true;
  std::vector<std::string> Faults;
  TRule Kind = TRule::Readable;
};

struct TMarketplaceReport {
  TMarketplace For = TMarketplace::Amazon;
  std::vector<TRuleCheck> Rules;
  bool Passed() const;
};

// One frame of a set, in the set's order: its facts, or why it could not
// be read.
struct TCheckedFrame {
  std::string Name;
  std::optional<TFrameFacts> Facts;
  std::string Error;
};

// The rules a set of frames must keep for a marketplace.
TMarketplaceReport CheckFrames(TMarketplace market, const std::vector<TCheckedFrame>& frames);
// The rules a video must keep (Google's and Shopify's).
TMarketplaceReport CheckVideo(TMarketplace market, const std::string& name,
                              const TVideoFacts& video);

// Checks a folder of frames, a zip of them or (for Google and Shopify) a
// video. The frames are taken in the order of their names; in a folder,
// the pictures by their extension, hidden files left out. BadSetting for
// something of no such kind, NotFound, Unreadable for a zip that cannot
// be read or a set with no frames. `step`, when given, is told the frames
// measured of all, from 0; false from it stops the check (Cancelled).
using TCheckStep = std::function<bool(int done, int total)>;
TResult CheckForMarketplace(const std::string& path, TMarketplace market,
                            TMarketplaceReport& report, const TCheckStep& step = nullptr);
// The same for the frame files given, in their order.
TResult CheckFilesForMarketplace(const std::vector<std::string>& files, TMarketplace market,
                                 TMarketplaceReport& report, const TCheckStep& step = nullptr);

// The report as a table of rules, each passed or not with its faults (at
// most `shown` of them, then how many more), and as JSON with all of them.
std::string ReportTable(const TMarketplaceReport& report, std::size_t shown = 5);
std::string ReportJson(const TMarketplaceReport& report);

}  // namespace kalvane
