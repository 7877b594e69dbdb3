#pragma once

#include <string>

namespace kalvane {

// The mobile movie's frame width.
inline constexpr int kMobileWidth = 160;

// The two movie tools and template_m/velmobile.swf beside the program.
bool MobileToolsPresent();
bool MobileToolsPresentIn(const std::string& folder);

}  // namespace kalvane
