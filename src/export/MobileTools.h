#pragma once

#include <string>

namespace kalvane {

// The mobile movie's frame width.
inline constexpr int kMobileWidth = 160;

// Where the mobile export finds its pieces: the two movie programs
// (jpeg2swf, swfcombine) in ToolFolder, the master movie as
// template_m/velmobile.swf in DataFolder. A build tree has both in one.
struct TMobileKit {
  std::string ToolFolder;
  std::string DataFolder;
};
// The installed programs' kit: GetHelperFolder() and GetDataFolder().
TMobileKit InstalledMobileKit();
// One folder holding all of them.
TMobileKit MobileKitIn(const std::string& folder);

// Whether the two programs and the master movie are all there.
bool MobileToolsPresent();
bool MobileToolsPresentIn(const TMobileKit& kit);
bool MobileToolsPresentIn(const std::string& folder);

}  // namespace kalvane
