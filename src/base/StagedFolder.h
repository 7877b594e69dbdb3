#pragma once

#include <string>
#include <vector>

#include "base/HeldFolder.h"
#include "base/MarkedFolder.h"
#include "base/Result.h"

namespace kalvane {

// A set of files made in a folder beside its target (target +
// ".kalvane-XXXXXX", held while in use) and put in place when complete, as
// a set: the target never holds files of two sets at once, also when the
// process is killed while putting it in place. Destroyed before that, the
// folder is removed with what is in it.
//
// A set of several files notes them in a mark in the target folder (see
// TMarkedFolder), so the next set removes exactly them and never a file of
// the user's. Without a mark name the set is one file (a zip), which
// replaces its file alone.
class TStagedFolder {
 public:
  // Check Ok(); the target's parent folders are made when missing. The
  // mark's first line is `heading`.
  explicit TStagedFolder(const std::string& target, std::string markName = {},
                         std::string heading = {});
  TStagedFolder(const TStagedFolder&) = delete;
  TStagedFolder& operator=(const TStagedFolder&) = delete;

  bool Ok() const { return Staged.Ok(); }
  const std::string& Error() const { return Reason; }
  // Where to write, with a trailing "/".
  const std::string& Folder() const { return Path; }
  // The target as a folder of our files, for checks before the set is made.
  TMarkedFolder Target() const { return {TargetPath, MarkName, Heading}; }

  // Puts the files named (written into Folder()) in place. No target yet:
  // the folder is renamed to it. A target that holds nothing but the
  // earlier set: the two folders are swapped, and the earlier set removed.
  // Otherwise the earlier set is removed by its mark and the files are
  // moved in. Everything that would stop it (a folder or a write-protected
  // file where a file goes, another file system) is found before anything
  // is changed. On failure the message says what was done.
  TResult MoveIn(const std::vector<std::string>& names);
  // How many of the names are in the target, after MoveIn.
  int Placed() const { return PlacedCount; }

 private:
  TResult MoveByMark(const TMarkedFolder& target, const std::vector<std::string>& earlier,
                     const std::vector<std::string>& names);
  bool Swap(const std::vector<std::string>& earlier, const std::vector<std::string>& names);
  std::string TargetPath;
  std::string MarkName;
  std::string Heading;
  std::string Path;
  std::string Reason;
  THeldFolder Staged;
  int PlacedCount = 0;
};

}  // namespace kalvane
