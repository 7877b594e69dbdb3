#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Result.h"

namespace kalvane {

// Why a folder takes no output of ours: the home folder itself, or a folder
// of the system (the root, /usr, /etc, /home, /tmp itself, ...).
enum class TUnsafePlace { None, Home, System };

// A folder we write our files into, beside files of other origin. A mark
// file in it names the files we wrote, so that ours are told apart from the
// user's and a later run knows what it may replace or remove.
//
// No entry in the folder is ever followed as a link: a link where one of
// our files goes is replaced by the file (the link itself, never what it
// names); a folder, device, pipe or socket there is refused. The mark is
// read and written the same way: a mark that is a link or not a regular
// file names nothing.
class TMarkedFolder {
 public:
  // `heading` is the mark's first line, a comment for whoever opens it.
  TMarkedFolder(const std::string& folder, std::string markName, std::string heading);

  // The folder made absolute and normal (links resolved as far as it
  // exists), with one trailing "/"; empty when none was given.
  const std::string& Path() const { return Folder; }
  const std::string& MarkName() const { return MarkFile; }

  // The place itself: never the root, the home folder itself or a system
  // folder. `what` names what would go there in the message.
  TUnsafePlace PlaceFault() const;
  TResult CheckPlace(const std::string& what) const;
  // Whether this folder is `folder` or below it.
  bool IsWithin(const std::string& folder) const;

  // The names the mark holds: plain file names only, the mark's own never.
  std::vector<std::string> Marked() const;
  // Of the marked names, those here as files or links, in name order.
  std::vector<std::string> Earlier() const;
  // Of `names`, those here that the mark does not name, in the order given.
  std::vector<std::string> Foreign(const std::vector<std::string>& names) const;
  // Refuses, before anything is written, an entry at one of `names` that a
  // file of ours cannot replace: a folder, device, pipe or socket, or a
  // write-protected file unless `readOnly` allows it. The message names it.
  TResult CheckEntries(const std::vector<std::string>& names,
                       TReadOnly readOnly = TReadOnly::Refuse) const;
  // Removes the earlier files (a link itself, never what it names) and
  // forgets them.
  TResult RemoveEarlier() const;
  // Notes `names` as ours, with the earlier ones still here. Written before
  // the files, so that a run cut short still counts them.
  TResult Mark(const std::vector<std::string>& names) const;

  // One of our files, written whole under a temporary name and renamed
  // over its place; never through a link.
  std::unique_ptr<TAtomicFile> NewFile(const std::string& name,
                                       TReadOnly readOnly = TReadOnly::Refuse) const;
  TResult Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string Folder;
  std::string MarkFile;
  std::string Heading;
};

// A "\" or a control character (a line break, an escape) in `text`.
bool HoldsBackslashOrControl(const std::string& text);
// Why `name` cannot be the name of a file we write ("" when it can): empty,
// "." or "..", a "/" or "\" in it (a folder on one system or another, and
// in a zip), or a control character such as a line break.
std::string OutputNameFault(const std::string& name);
// `text` with its control characters written out (\n, \t, \x1b), for a
// message on one line.
std::string ShownName(const std::string& text);

}  // namespace kalvane
