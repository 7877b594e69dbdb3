#pragma once

#include <string>

namespace kalvane {

// Temporary files and folders named prefix + six random letters or digits
// (mkstemp's), which their creator holds an flock on for as long as it
// uses them. A killed creator leaves them behind unheld: the next creator
// of the same prefix removes those, and never anything that is held, of
// another user, a link, or named otherwise.

// Creates `prefix` + "XXXXXX" as a private file and locks it. Returns the
// descriptor (close-on-exec), or -1 with errno set; `path` gets the name.
int CreateHeldFile(const std::string& prefix, std::string& path);
// The same for a folder; the descriptor is the folder's.
int CreateHeldFolder(const std::string& prefix, std::string& path);

enum class THeldKind { Files, Folders };
// Removes the unheld temporaries of `prefix` (a folder and the start of a
// name, such as "/out/movie.swf.kalvane-") of one kind, folders with their
// content.
void RemoveUnheldTemporaries(const std::string& prefix, THeldKind kind);

}  // namespace kalvane
