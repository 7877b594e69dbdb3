#include "base/MarkedFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

// Folders of the system: nothing below them takes an output of ours.
constexpr const char* kSystemTrees[] = {
    "/bin",         "/boot",      "/dev",     "/etc",     "/lib",      "/lib32",
    "/lib64",       "/libx32",    "/proc",    "/sbin",    "/sys",      "/usr",
    "/var/backups", "/var/cache", "/var/lib", "/var/log", "/var/mail", "/var/spool",
};
// Folders that hold other folders: an output may go below them (a web
// server's /var/www/html, a stick under /media), never straight into them.
constexpr const char* kContainers[] = {
    "/", "/home", "/media", "/mnt", "/opt", "/root", "/run", "/srv", "/tmp", "/var", "/var/tmp",
};

// A mark longer than this is not one we wrote.
constexpr std::size_t kMarkLimit = 4 << 20;

// Absolute, normal, links resolved as far as the path exists, and without
// a trailing "/" (but "/" itself): "site/", "/srv/site//" and "/srv/x/../site"
// name the folders they say, never the root.
std::string Normal(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) p = path;
  const fs::path resolved = fs::weakly_canonical(p, ec);
  std::string s = (ec ? p : resolved).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/')
    s.pop_back();
  return s;
}

bool Within(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

std::vector<std::string> Homes() {
  std::vector<std::string> homes;
  if (const char* home = std::getenv("HOME"); home && *home) homes.push_back(Normal(home));
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
    homes.push_back(Normal(pw->pw_dir));
  return homes;
}

// The entry as it is, a link not followed; 0 when there is none.
mode_t Kind(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// The whole of a regular file, never through a link; empty when it is not
// one (a pipe is not waited for).
std::string ReadRegular(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  std::string text;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) <= kMarkLimit) {
    char buffer[1 << 14];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || text.size() + static_cast<std::size_t>(n) > kMarkLimit) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  return text;
}

}  // namespace

bool HoldsBackslashOrControl(const std::string& text) {
  for (const char c : text) {
    if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  return false;
}

std::string OutputNameFault(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "\"" + name + "\" is not a file name";
  if (name.find('/') != std::string::npos) return "a \"/\" would make it a folder";
  if (HoldsBackslashOrControl(name))
    return "a \"\\\" (a folder on Windows and in a zip) or a control character (such as a line "
           "break) is in it";
  return {};
}

std::string ShownName(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (u < 0x20 || u == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      shown += hex;
    } else {
      shown += c;
    }
  }
  return shown;
}

TMarkedFolder::TMarkedFolder(const std::string& folder, std::string markName, std::string heading)
    : Folder(folder.empty() ? std::string() : WithTrailingSlash(Normal(folder))),
      MarkFile(std::move(markName)),
      Heading(std::move(heading)) {}

TUnsafePlace TMarkedFolder::PlaceFault() const {
  const std::string path = Folder == "/" ? Folder : Folder.substr(0, Folder.size() - 1);
  for (const std::string& home : Homes()) {
    if (path == home) return TUnsafePlace::Home;
  }
  for (const char* folder : kContainers) {
    if (path == folder) return TUnsafePlace::System;
  }
  for (const char* tree : kSystemTrees) {
    if (Within(path, Normal(tree))) return TUnsafePlace::System;
  }
  return TUnsafePlace::None;
}

TResult TMarkedFolder::CheckPlace(const std::string& what) const {
  if (Folder.empty()) return TResult::Fail(TErrorCode::BadSetting, "no output folder was given");
  const std::string path = Folder == "/" ? Folder : Folder.substr(0, Folder.size() - 1);
  const auto refuse = [&path](const std::string& why) {
    return TResult::Fail(TErrorCode::UnsafeFolder, path + ": " + why);
  };
  switch (PlaceFault()) {
    case TUnsafePlace::Home:
      return refuse("the home folder itself takes no " + what + "; choose a folder in it");
    case TUnsafePlace::System:
      for (const char* folder : kContainers) {
        if (path == folder)
          return refuse("a system folder takes no " + what + "; choose a folder of your own");
      }
      return refuse("a system folder takes no " + what);
    case TUnsafePlace::None:
      break;
  }
  return {};
}

bool TMarkedFolder::IsWithin(const std::string& folder) const {
  if (Folder.empty() || folder.empty()) return false;
  return Within(Folder == "/" ? Folder : Folder.substr(0, Folder.size() - 1), Normal(folder));
}

std::vector<std::string> TMarkedFolder::Marked() const {
  std::vector<std::string> names;
  if (Folder.empty()) return names;
  const std::string text = ReadRegular(Folder + MarkFile);
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.empty() || line[0] == '#' || line == MarkFile || !OutputNameFault(line).empty())
      continue;
    names.push_back(line);
  }
  return names;
}

std::vector<std::string> TMarkedFolder::Earlier() const {
  std::vector<std::string> names;
  // Files and links only: a folder of that name is not something we wrote.
  for (const std::string& name : Marked()) {
    const mode_t kind = Kind(Folder + name);
    if (kind == S_IFREG || kind == S_IFLNK) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<std::string> TMarkedFolder::Foreign(const std::vector<std::string>& names) const {
  const std::vector<std::string> ours = Marked();
  std::vector<std::string> foreign;
  for (const std::string& name : names) {
    if (Kind(Folder + name) != 0 && std::find(ours.begin(), ours.end(), name) == ours.end())
      foreign.push_back(name);
  }
  return foreign;
}

TResult TMarkedFolder::CheckEntries(const std::vector<std::string>& names,
                                    TReadOnly readOnly) const {
  for (const std::string& name : names) {
    const std::string path = Folder + name;
    const mode_t kind = Kind(path);
    if (kind == 0 || kind == S_IFLNK) continue;
    if (kind != S_IFREG) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           path + ": is " +
                               (kind == S_IFDIR ? "a folder" : "a device, pipe or socket") +
                               ", not a file; it is never replaced");
    }
    if (readOnly == TReadOnly::Refuse && IsWriteProtected(path, TLinks::Replace)) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           path + ": the file is write-protected (read-only) and is not replaced");
    }
  }
  return {};
}

TResult TMarkedFolder::RemoveEarlier() const {
  for (const std::string& name : Earlier()) {
    const std::string path = Folder + name;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           path + ": cannot remove (" + std::strerror(errno) + ")");
    }
  }
  return Mark({});
}

TResult TMarkedFolder::Mark(const std::vector<std::string>& names) const {
  std::vector<std::string> ours = Earlier();
  for (const std::string& name : names) {
    if (OutputNameFault(name).empty() && name != MarkFile) ours.push_back(name);
  }
  std::sort(ours.begin(), ours.end());
  ours.erase(std::unique(ours.begin(), ours.end()), ours.end());
  std::string text = Heading;
  for (const std::string& name : ours)
    text += name + "\n";
  return Write(MarkFile, text);
}

std::unique_ptr<TAtomicFile> TMarkedFolder::NewFile(const std::string& name,
                                                    TReadOnly readOnly) const {
  return std::make_unique<TAtomicFile>(Folder + name, readOnly, TLinks::Replace);
}

TResult TMarkedFolder::Write(const std::string& name, const std::string& bytes) const {
  return WriteFileAtomically(Folder + name, bytes, TReadOnly::Refuse, TLinks::Replace);
}

}  // namespace kalvane
