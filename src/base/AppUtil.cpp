#include "base/AppUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "base/NameOrder.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

std::size_t LastSeparator(const std::string& path) {
  return path.find_last_of("/\\");
}

}  // namespace

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string GetAppFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return WithTrailingSlash(fs::current_path(ec).string());
  return WithTrailingSlash(exe.parent_path().string());
}

std::string InstalledFolder(const std::string& programFolder, const std::string& relative,
                            const std::string& marker) {
  if (relative.empty()) return programFolder;
  const fs::path installed = (fs::path(programFolder) / relative).lexically_normal();
  std::error_code ec;
  if (fs::exists(installed / marker, ec)) return WithTrailingSlash(installed.string());
  return programFolder;
}

// The build defines where the installed layout puts them, seen from the
// programs' folder; without that, beside the program.
#ifndef KALVANE_DATA_FROM_PROGRAM
#define KALVANE_DATA_FROM_PROGRAM ""
#endif
#ifndef KALVANE_HELPERS_FROM_PROGRAM
#define KALVANE_HELPERS_FROM_PROGRAM ""
#endif

std::string GetDataFolder() {
  return InstalledFolder(GetAppFolder(), KALVANE_DATA_FROM_PROGRAM, "template");
}

std::string GetHelperFolder() {
  return InstalledFolder(GetAppFolder(), KALVANE_HELPERS_FROM_PROGRAM, "jpeg2swf");
}

std::string GetTemplateFolder() {
  return GetDataFolder() + "template/";
}

std::string GetTempFolder() {
  std::error_code ec;
  fs::path temp = fs::temp_directory_path(ec);
  if (ec || temp.empty()) temp = "/tmp";
  return WithTrailingSlash(temp.string());
}

namespace {

// A folder nobody else can put a thing into or take one from: ours, or
// root's, and writable by its owner alone.
bool Guarded(const struct stat& st) {
  return S_ISDIR(st.st_mode) && (st.st_uid == getuid() || st.st_uid == 0) &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// `path` as a folder of ours alone (0700), made when missing. Refused: a
// link or other thing in its place, a folder of someone else's, one whose
// parent someone else could swap it in.
bool MakePrivateFolder(const std::string& path, std::string& why) {
  struct stat parent {};
  const std::string above = fs::path(path).parent_path().string();
  if (lstat(above.c_str(), &parent) != 0 || !Guarded(parent)) {
    why = above + ": not a folder of this user's alone";
    return false;
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    why = path + ": exists and is not a folder";
  } else if (st.st_uid != getuid()) {
    why = path + ": belongs to another user";
  } else if ((st.st_mode & 0777) != 0700 && chmod(path.c_str(), 0700) != 0) {
    why = path + ": " + std::strerror(errno);
  } else {
    return true;
  }
  return false;
}

// An absolute path from the environment, or nothing.
std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// The session's runtime folder, when it is what the standard says it must
// be: a folder of ours that nobody else may enter.
std::string RuntimeFolder() {
  const std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime.empty() || lstat(runtime.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      st.st_uid != getuid() || (st.st_mode & 077) != 0)
    return {};
  return runtime;
}

// The user's cache folder, made when missing as the standard makes it.
std::string CacheFolder() {
  std::string cache = AbsoluteEnv("XDG_CACHE_HOME");
  if (cache.empty()) {
    const std::string home = AbsoluteEnv("HOME");
    if (home.empty()) return {};
    cache = home + "/.cache";
  }
  std::error_code ec;
  fs::create_directories(cache, ec);
  return cache;
}

// Made for a process that has neither folder, under a name nobody can
// guess (again when something removed it); removed when the process ends.
std::string ProcessFolder(std::string& why) {
  static std::mutex made;
  static std::string folder;
  std::lock_guard lock(made);
  struct stat st {};
  if (!folder.empty() && lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
      st.st_uid == getuid())
    return folder;
  std::string pattern = GetTempFolder() + "kalvane-" + std::to_string(getuid()) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    why = pattern + ": " + std::strerror(errno);
    return {};
  }
  if (folder.empty()) {
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(folder, ec);
    });
  }
  folder = pattern;
  return folder;
}

std::string ExportTempFolder(std::string& why) {
  for (const std::string& base : {RuntimeFolder(), CacheFolder()}) {
    if (base.empty()) continue;
    const std::string folder = WithTrailingSlash(base) + "kalvane";
    if (MakePrivateFolder(folder, why)) return folder;
  }
  return ProcessFolder(why);
}

}  // namespace

std::string GetExportTempFolder() {
  std::string why;
  const std::string folder = ExportTempFolder(why);
  return folder.empty() ? folder : WithTrailingSlash(folder);
}

TResult PrepareExportTempFolder() {
  std::string why;
  if (ExportTempFolder(why).empty())
    return TResult::Fail(TErrorCode::WriteFailed, "no private folder for the export: " + why);
  return {};
}

std::string GetUserDataFolder() {
  fs::path base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home && home[0] ? home : GetTempFolder()) / ".config";
  }
  const fs::path folder = base / "Kalvane";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return WithTrailingSlash(folder.string());
}

bool IsImageFile(const std::string& path) {
  const std::string name = ExtractName(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".bmp" || ext == ".jpg" || ext == ".gif" || ext == ".png" || ext == ".tif" ||
         ext == ".webp" || ext == ".avif" || ext == ".heic" || ext == ".heif";
}

std::string ExtractName(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string GetFolderOf(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

int GetFileAttributesOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  int attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= faReadOnly;
  const std::string name = ExtractName(path);
  if (!name.empty() && name[0] == '.') attributes |= faHidden;
  return attributes;
}

std::vector<std::string> ListFolders(const std::string& folder, int attributes) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (GetFileAttributesOf(it->path().string()) == attributes) names.push_back(name);
  }
  return names;
}

TResult CollectFiles(const std::vector<std::string>& args, bool (*accept)(const std::string&),
                     const std::string& kinds, bool anyFile, std::vector<std::string>& files) {
  for (const std::string& arg : args) {
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      const std::string folder = WithTrailingSlash(arg);
      for (const std::string& name : ListFiles(arg)) {
        if (accept(name)) files.push_back(folder + name);
      }
    } else if (fs::exists(arg, ec)) {
      if (!anyFile && !accept(arg))
        return TResult::Fail(TErrorCode::Unreadable, arg + ": not " + kinds);
      files.push_back(arg);
    } else {
      return TResult::Fail(TErrorCode::NotFound, arg + ": no such file or folder");
    }
  }
  SortNames(files);
  return {};
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (!it->is_directory(kind)) names.push_back(it->path().filename().string());
  }
  return names;
}

std::int64_t GetFileSizeOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::string QuoteText(const std::string& text) {
  return "\"" + text + "\"";
}

void ReverseStrings(std::vector<std::string>& strings) {
  std::reverse(strings.begin(), strings.end());
}

bool CopyNewFile(const std::string& source, const std::string& target) {
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  // O_EXCL: refuses an existing target, also one created meanwhile.
  const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(target.c_str());
  return ok;
}

}  // namespace kalvane
