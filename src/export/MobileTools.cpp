#include "export/MobileTools.h"

#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane {

namespace fs = std::filesystem;

TMobileKit InstalledMobileKit() {
  return {GetHelperFolder(), GetDataFolder()};
}

TMobileKit MobileKitIn(const std::string& folder) {
  return {folder, folder};
}

bool MobileToolsPresentIn(const TMobileKit& kit) {
  const std::string tools = WithTrailingSlash(kit.ToolFolder);
  const std::string data = WithTrailingSlash(kit.DataFolder);
  std::error_code ec;
  return fs::is_regular_file(tools + "swfcombine", ec) &&
         fs::is_regular_file(tools + "jpeg2swf", ec) && fs::is_directory(data + "template_m", ec) &&
         fs::is_regular_file(data + "template_m/velmobile.swf", ec);
}

bool MobileToolsPresentIn(const std::string& folder) {
  return MobileToolsPresentIn(MobileKitIn(folder));
}

bool MobileToolsPresent() {
  return MobileToolsPresentIn(InstalledMobileKit());
}

}  // namespace kalvane
