#pragma once

#include <string>

namespace kalvane {

// The two movie tools and template_m/velmobile.swf beside the program.
bool MobileToolsPresent();
bool MobileToolsPresentIn(const std::string& folder);

}  // namespace kalvane
