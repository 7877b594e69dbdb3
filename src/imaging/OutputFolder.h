#pragma once

#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// The folder a shoot is prepared into. A small file in it names the files
// our runs wrote there, so a second run never mixes its photos with the
// first's: the earlier ones are refused or removed first, and files of the
// same names that we did not write are never replaced. Entries in the
// folder are never followed as links.
class TOutputFolder {
 public:
  static constexpr const char* kMarkName = ".fotomill";

  explicit TOutputFolder(const std::string& folder);

  // What earlier runs of ours left here, in name order.
  std::vector<std::string> Earlier() const;
  // Of `names`, those here that no run of ours wrote, in the order given.
  std::vector<std::string> Foreign(const std::vector<std::string>& names) const;
  // Removes what earlier runs of ours left here (a link itself, never what
  // it names), and forgets it.
  TResult RemoveEarlier() const;
  // Notes `names` as ours, with those noted before that are still here.
  // Written before the files, so a run cut short still counts.
  TResult Mark(const std::vector<std::string>& names) const;

 private:
  std::vector<std::string> Marked() const;
  std::string Folder;  // with a trailing "/"
};

}  // namespace kalvane
