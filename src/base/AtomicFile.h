#pragma once

#include <sys/stat.h>

#include <string>

#include "base/Result.h"

namespace kalvane {

// Whether a write-protected file (one the user may not write, such as mode
// 0444) may be replaced. Renaming over it would succeed where opening it
// for writing would not, so it is refused unless the user agreed.
enum class TReadOnly { Refuse, Replace };

// What a link at the path is to the writer. A file the user names may be
// a link to where the file really lives (Follow); an entry in a folder we
// write our files into is never followed: a link there is replaced by the
// file, the link itself and never what it names (Replace).
enum class TLinks { Follow, Replace };

// A file that replaces `path` only when it is complete: written under a
// temporary name in the same folder (`path` + ".kalvane-XXXXXX"), flushed
// to disk, then renamed over `path`. Destroyed without Commit, it removes
// the temporary file and `path` stays as it was.
// - A link at `path` is written through to the file it names, also when
//   that file does not exist yet (it is created). Links in a shared sticky
//   folder (/tmp) that belong to someone else are not followed, as the
//   kernel does not follow them either. With TLinks::Replace a link at
//   `path` is replaced itself, as a new file.
// - A replaced file keeps its mode; a folder, device, pipe or socket at
//   `path` is refused, and so is a write-protected file unless allowed.
// - The writer holds a lock on its temporary file; temporaries of this
//   pattern beside `path` that nobody holds (left by a killed writer) are
//   removed when the next one is created.
class TAtomicFile {
 public:
  // Check Ok(); Error() says why it could not be created.
  explicit TAtomicFile(std::string path, TReadOnly readOnly = TReadOnly::Refuse,
                       TLinks links = TLinks::Follow);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  bool Ok() const { return Fd >= 0; }
  int Handle() const { return Fd; }
  const std::string& Error() const { return Reason; }
  // The temporary's name, for writers that open the file by name (an
  // encoder that reads back what it wrote).
  const std::string& TemporaryPath() const { return Temp; }
  // Gives the file the mode of a newly created one, syncs, closes and
  // renames. False with Error() set when any step fails.
  bool Commit();

 private:
  bool Fail(const char* what);
  bool CreateTemporary();
  std::string Path;
  std::string Temp;
  std::string Reason;
  struct stat Keep {};
  bool Existed = false;
  int Fd = -1;
  int LockFd = -1;  // holds the temporary's lock until it is renamed or removed
  bool Done = false;
};

// The whole of `bytes` as the new content of `path`, atomically.
TResult WriteFileAtomically(const std::string& path, const std::string& bytes,
                            TReadOnly readOnly = TReadOnly::Refuse, TLinks links = TLinks::Follow);

// True when `path` (through links, unless told to take a link as it is) is
// an existing file without any write permission (0444, also for root) or
// one this user may not write: what TAtomicFile refuses unless told
// TReadOnly::Replace.
bool IsWriteProtected(const std::string& path, TLinks links = TLinks::Follow);

}  // namespace kalvane
