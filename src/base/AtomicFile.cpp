#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/HeldTemp.h"

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

// Beside the target: "movie.swf.kalvane-Ab12Cd". Distinct enough that a
// user's own "movie.swf.backup" never looks like one of ours.
constexpr const char* kTempInfix = ".kalvane-";

// Follows links at `path` to the file they name, as opening it would, and
// also past the last one when it dangles (so the file is created there).
bool FollowLinks(std::string& path, std::string& why) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
    // In a shared sticky folder (/tmp) a link of someone else's could aim
    // anywhere the user may write; the kernel does not follow it, nor do we.
    const std::filesystem::path at(path);
    const std::filesystem::path folder = at.has_parent_path() ? at.parent_path() : ".";
    struct stat dir {};
    if (stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) &&
        link.st_uid != geteuid() && link.st_uid != dir.st_uid) {
      why = path + ": a link of another user in a shared folder is not followed";
      return false;
    }
    std::string target(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
      why = path + ": the link cannot be read";
      return false;
    }
    target.resize(static_cast<std::size_t>(n));
    path = (target[0] == '/' || !at.has_parent_path()) ? target : (folder / target).string();
  }
  why = path + ": too many levels of links";
  return false;
}

}  // namespace

bool IsWriteProtected(const std::string& path, TLinks links) {
  struct stat st {};
  const int got = links == TLinks::Follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
  if (got != 0 || !S_ISREG(st.st_mode)) return false;
  // No write bit at all is protection by intent, also against root (who
  // may write anything); otherwise what this user may not write.
  if ((st.st_mode & 0222) == 0) return true;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 &&
         (errno == EACCES || errno == EPERM);
}

TAtomicFile::TAtomicFile(std::string path, TReadOnly readOnly, TLinks links)
    : Path(std::move(path)) {
  const std::string asked = Path;
  if (links == TLinks::Follow && !FollowLinks(Path, Reason)) return;
  struct stat st {};
  // A link left in place is renamed over: the new file takes its name.
  if (lstat(Path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    if (!S_ISREG(st.st_mode)) {
      Reason = Path + ": not a regular file (a folder, device, pipe or socket is never replaced)";
      return;
    }
    if (readOnly == TReadOnly::Refuse && IsWriteProtected(Path)) {
      Reason = Path + ": the file is write-protected (read-only) and is not replaced";
      return;
    }
    Keep = st;
    Existed = true;
  }
  const std::string prefix = Path + kTempInfix;
  RemoveUnheldTemporaries(prefix, THeldKind::Files);
  Fd = CreateHeldFile(prefix, Temp);
  if (Fd < 0) {
    if (errno == ENOENT && asked != Path) {
      Reason = asked + ": the link names " + Path + ", whose folder does not exist";
    } else {
      Fail("cannot create");
    }
    return;
  }
  // A second descriptor keeps the lock from the close that Commit checks
  // until the rename, so a remover never sees the finished file unheld.
  LockFd = fcntl(Fd, F_DUPFD_CLOEXEC, 0);
  if (LockFd < 0) {
    Fail("cannot create");
    close(Fd);
    Fd = -1;
    unlink(Temp.c_str());
  }
}

TAtomicFile::~TAtomicFile() {
  if (Fd >= 0) close(Fd);
  if (!Done && LockFd >= 0) unlink(Temp.c_str());
  if (LockFd >= 0) close(LockFd);
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
  close(LockFd);
  LockFd = -1;
  return true;
}

TResult WriteFileAtomically(const std::string& path, const std::string& bytes, TReadOnly readOnly,
                            TLinks links) {
  TAtomicFile file(path, readOnly, links);
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
