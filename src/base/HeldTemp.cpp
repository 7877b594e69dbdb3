#include "base/HeldTemp.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kalvane {

namespace fs = std::filesystem;

namespace {

constexpr int kRetry = -2;
constexpr int kTries = 16;

bool IsRandomPart(const std::string& text) {
  if (text.size() != 6) return false;
  for (const char c : text) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

// Locks a name just created. A remover may have found it unheld in the
// moment before: then it is gone (no links left) and creation starts over.
// A file system without flock leaves it unlocked, which a remover takes as
// held, so nothing is ever removed there.
int Hold(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  if (st.st_nlink == 0) {
    close(fd);
    return kRetry;
  }
  return fd;
}

void RemoveIfUnheld(const fs::path& path, THeldKind kind) {
  struct stat named {};
  // Only a file or folder is opened: opening a device can have effects.
  if (lstat(path.c_str(), &named) != 0 || named.st_uid != geteuid() ||
      !(kind == THeldKind::Files ? S_ISREG(named.st_mode) : S_ISDIR(named.st_mode))) {
    return;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return;
  struct stat held {};
  // Held, or no flock here at all: left alone.
  if (fstat(fd, &held) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino &&
      flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Still the same entry: a writer that finished may have renamed it away.
    struct stat now {};
    if (lstat(path.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
      std::error_code ec;
      if (S_ISDIR(held.st_mode)) {
        fs::remove_all(path, ec);
      } else {
        unlink(path.c_str());
      }
    }
  }
  close(fd);
}

}  // namespace

int CreateHeldFile(const std::string& prefix, std::string& path) {
  for (int i = 0; i < kTries; ++i) {
    path = prefix + "XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    const int held = Hold(fd);
    if (held != kRetry) return held;
  }
  errno = EAGAIN;
  return -1;
}

int CreateHeldFolder(const std::string& prefix, std::string& path) {
  for (int i = 0; i < kTries; ++i) {
    path = prefix + "XXXXXX";
    if (!mkdtemp(path.data())) return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) return -1;
    const int held = fd < 0 ? kRetry : Hold(fd);
    if (held != kRetry) return held;
  }
  errno = EAGAIN;
  return -1;
}

void RemoveUnheldTemporaries(const std::string& prefix, THeldKind kind) {
  const fs::path p(prefix);
  const std::string start = p.filename().string();
  if (start.empty()) return;
  const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() == start.size() + 6 && name.compare(0, start.size(), start) == 0 &&
        IsRandomPart(name.substr(start.size()))) {
      found.push_back(it->path());
    }
  }
  for (const fs::path& path : found)
    RemoveIfUnheld(path, kind);
}

}  // namespace kalvane
