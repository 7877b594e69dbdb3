#include "base/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kalvane {

TAtomicFile::TAtomicFile(std::string path) : Path(std::move(path)), Temp(Path + ".XXXXXX") {
  Fd = mkstemp(Temp.data());
  Created = Fd >= 0;
  if (!Created) Fail("cannot create");
}

TAtomicFile::~TAtomicFile() {
  if (Done || !Created) return;
  if (Fd >= 0) close(Fd);
  unlink(Temp.c_str());
}

bool TAtomicFile::Fail(const char* what) {
  Reason = Path + ": " + what + " (" + std::strerror(errno) + ")";
  return false;
}

bool TAtomicFile::Commit() {
  if (Fd < 0 || Done) return false;
  // mkstemp makes the file private; give it the mode a new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  if (fchmod(Fd, 0666 & ~mask) != 0 || fsync(Fd) != 0) return Fail("cannot write");
  const int fd = Fd;
  Fd = -1;
  if (close(fd) != 0) return Fail("cannot write");
  if (rename(Temp.c_str(), Path.c_str()) != 0) return Fail("cannot replace");
  Done = true;
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  TAtomicFile file(path);
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  bool ok = file.Ok();
  while (ok && left > 0) {
    const ssize_t n = write(file.Handle(), data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = path + ": cannot write (" + std::strerror(errno) + ")";
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok) ok = file.Commit();
  if (!ok && error) *error = file.Error();
  return ok;
}

}  // namespace kalvane
