#pragma once

#include <string>

#include "base/MarkedFolder.h"

namespace kalvane {

// The folder a shoot is prepared into. Its mark names the files our runs
// wrote there, so a second run never mixes its photos with the first's:
// the earlier ones are refused or removed first, and files of the same
// names that we did not write are never replaced.
class TOutputFolder : public TMarkedFolder {
 public:
  static constexpr const char* kMarkName = ".fotomill";

  explicit TOutputFolder(const std::string& folder)
      : TMarkedFolder(folder, kMarkName,
                      "# files fotomill wrote here; a later run removes them first\n") {}
};

}  // namespace kalvane
