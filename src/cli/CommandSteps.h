#pragma once

#include <string>
#include <vector>

#include "document/AutoAlign.h"
#include "document/BandManagement.h"
#include "document/LayerManagement.h"
#include "project/ProjectDocument.h"

namespace kalvane::cli {

// Photos named on the command line, folders giving their image files, all
// in the order the editor adds them. A name that does not exist is said
// and ends it (false). With `onlyImages`, a file named directly must be an
// image file too.
bool CollectPhotos(const std::vector<std::string>& args, bool onlyImages,
                   std::vector<std::string>& files);

// A write-protected output is never replaced from the command line; said
// before the photos are read (the writer refuses it again).
bool RefusedOutput(const std::string& path);

// Opens the project as the editor does, looking for moved photos in
// `search`; kDone when every photo came in (with `skipUnreadable`, when
// any did: the others are named and left out), otherwise said, naming
// --skip-unreadable where the command has it (`offerSkip`).
// With `unusable` (an export, which names every such photo once it has
// tried the others), photos that could not be taken are named, left out
// and added there instead of ending it.
int OpenProject(const std::string& project, const std::string& search, TProjectDocument& document,
                bool skipUnreadable = false, bool offerSkip = true,
                std::vector<std::string>* unusable = nullptr);
// The photos an export could not use, beyond the first `known` (said at
// the load already), each on its line.
void SayUnusable(const std::vector<std::string>& unusable, std::size_t known);
// The failure of an export that could not use some photos ends with how
// to export the others.
std::string SkipHint(const std::vector<std::string>& unusable);

// Finds and applies the offsets that cancel the camera shake, printing a
// line for each photo; the number of photos that kept their offsets.
struct TAlignReport {
  std::size_t Items = 0;
  int Untrusted = 0;
  double Seconds = 0;
};
TAlignReport AlignItems(TProjectDocument& document, const TAlignRegion& region);

// How `new` makes a project of photos: turned by quarter turns
// (counter-clockwise), the trimming box, the offsets found or not.
struct TNewProject {
  int QuarterTurns = 0;
  TRelBox Box = kDefaultRelBox;
  bool Align = false;
};
// Makes the project of `files` (in the editor's order) at `output`, saying
// what it did; kDone, or kFailed with every photo it could not take named
// and no project written.
int MakeProject(std::vector<std::string> files, const TNewProject& how, const std::string& output);

}  // namespace kalvane::cli
