#include "base/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace kalvane {

namespace {

// The process's umask, read once before main. Setting it to read it would
// leave a moment in which files that other threads create are
// world-writable; Linux reports it without changing it.
mode_t ReadUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  const mode_t mask = umask(0);  // no /proc: still before any thread starts
  umask(mask);
  return mask;
}

const mode_t kUmask = ReadUmask();

}  // namespace

TAtomicFile::TAtomicFile(std::string path) : Path(std::move(path)) {
  // A link is written through: the file it names is replaced, beside
  // itself, and the link stays.
  std::error_code ec;
  if (std::filesystem::is_symlink(Path, ec)) {
    const std::filesystem::path target = std::filesystem::weakly_canonical(Path, ec);
    if (!ec) Path = target.string();
  }
  struct stat st {};
  if (stat(Path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      errno = 0;
      Reason = Path + ": not a regular file (a folder, device, pipe or socket is never replaced)";
      return;
    }
    Keep = st;
    Existed = true;
  }
  Temp = Path + ".XXXXXX";
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
  // A file that is replaced keeps its mode (and, for root, its owner); a
  // new one gets the mode new files get.
  if (Existed && geteuid() == 0 && fchown(Fd, Keep.st_uid, Keep.st_gid) != 0) {
    return Fail("cannot keep the owner");
  }
  const mode_t mode = Existed ? (Keep.st_mode & 07777) : (0666 & ~kUmask);
  if (fchmod(Fd, mode) != 0 || fsync(Fd) != 0) return Fail("cannot write");
  const int fd = Fd;
  Fd = -1;
  if (close(fd) != 0) return Fail("cannot write");
  if (rename(Temp.c_str(), Path.c_str()) != 0) return Fail("cannot replace");
  Done = true;
  return true;
}

TResult WriteFileAtomically(const std::string& path, const std::string& bytes) {
  TAtomicFile file(path);
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  bool ok = file.Ok();
  while (ok && left > 0) {
    const ssize_t n = write(file.Handle(), data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           path + ": cannot write (" + std::strerror(errno) + ")");
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok) ok = file.Commit();
  if (!ok) return TResult::Fail(TErrorCode::WriteFailed, file.Error());
  return {};
}

}  // namespace kalvane
