#pragma once

#include <sys/stat.h>

#include <string>

#include "base/Result.h"

namespace kalvane {

// A file that replaces `path` only when it is complete: written under a
// temporary name in the same folder, flushed to disk, then renamed over
// `path`. Destroyed without Commit, it removes the temporary file and
// `path` stays as it was. A link at `path` is written through to the file
// it names; a replaced file keeps its mode; a folder, device, pipe or
// socket at `path` is refused.
class TAtomicFile {
 public:
  // Check Ok(); Error() says why it could not be created.
  explicit TAtomicFile(std::string path);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  bool Ok() const { return Fd >= 0; }
  int Handle() const { return Fd; }
  const std::string& Error() const { return Reason; }
  // Gives the file the mode of a newly created one, syncs, closes and
  // renames. False with Error() set when any step fails.
  bool Commit();

 private:
  bool Fail(const char* what);
  std::string Path;
  std::string Temp;
  std::string Reason;
  struct stat Keep {};
  bool Existed = false;
  int Fd = -1;
  bool Created = false;
  bool Done = false;
};

// The whole of `bytes` as the new content of `path`, atomically.
TResult WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace kalvane
