#pragma once

#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// A folder made beside its target (target + ".kalvane-XXXXXX", held while
// in use) and moved into place when complete: renamed to the target when
// there is none yet, otherwise its files moved in one at a time, each
// replacing a file of its name there and leaving the others. Destroyed
// before that, it is removed with what is in it.
class TStagedFolder {
 public:
  // Check Ok(); the target's parent folders are made when missing.
  explicit TStagedFolder(const std::string& target);
  ~TStagedFolder();
  TStagedFolder(const TStagedFolder&) = delete;
  TStagedFolder& operator=(const TStagedFolder&) = delete;

  bool Ok() const { return Fd >= 0; }
  const std::string& Error() const { return Reason; }
  // Where to write, with a trailing "/".
  const std::string& Folder() const { return Path; }
  // Puts the files named (written into Folder()) in place.
  TResult MoveIn(const std::vector<std::string>& names);

 private:
  std::string Target;
  std::string Path;
  std::string Reason;
  int Fd = -1;
  bool Moved = false;
};

}  // namespace kalvane
