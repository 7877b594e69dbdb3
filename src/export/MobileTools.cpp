#include "export/MobileTools.h"

#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane {

namespace fs = std::filesystem;

bool MobileToolsPresentIn(const std::string& folder) {
  std::error_code ec;
  return fs::is_regular_file(folder + "swfcombine", ec) &&
         fs::is_regular_file(folder + "jpeg2swf", ec) &&
         fs::is_directory(folder + "template_m", ec) &&
         fs::is_regular_file(folder + "template_m/velmobile.swf", ec);
}

bool MobileToolsPresent() {
  return MobileToolsPresentIn(GetAppFolder());
}

}  // namespace kalvane
