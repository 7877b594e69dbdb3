#include "export/PageSetFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

// Folders of the system: nothing below them is a place for a page set.
constexpr const char* kSystemTrees[] = {
    "/bin",         "/boot",      "/dev",     "/etc",     "/lib",      "/lib32",
    "/lib64",       "/libx32",    "/proc",    "/sbin",    "/sys",      "/usr",
    "/var/backups", "/var/cache", "/var/lib", "/var/log", "/var/mail", "/var/spool",
};
// Folders that hold other folders: a set may go below them (a web server's
// /var/www/html, a stick under /media), never straight into them.
constexpr const char* kContainers[] = {
    "/", "/home", "/media", "/mnt", "/opt", "/root", "/run", "/srv", "/tmp", "/var", "/var/tmp",
};

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

bool Present(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

TPageSetFolder::TPageSetFolder(const std::string& folder)
    : Folder(folder.empty() ? std::string() : WithTrailingSlash(Normal(folder))) {}

TResult TPageSetFolder::CheckPlace(const std::string& templateFolder,
                                   const std::string& designFolder, const std::string& what) const {
  if (Folder.empty()) return TResult::Fail(TErrorCode::BadSetting, "no output folder was given");
  const std::string path = Folder == "/" ? Folder : Folder.substr(0, Folder.size() - 1);
  const auto refuse = [&path](const std::string& why) {
    return TResult::Fail(TErrorCode::UnsafeFolder, path + ": " + why);
  };
  for (const std::string& home : Homes()) {
    if (path == home)
      return refuse("the home folder itself takes no " + what + "; choose a folder in it");
  }
  for (const char* folder : kContainers) {
    if (path == folder)
      return refuse("a system folder takes no " + what + "; choose a folder of your own");
  }
  for (const char* tree : kSystemTrees) {
    if (Within(path, Normal(tree))) return refuse("a system folder takes no " + what);
  }
  // Writing into the templates would replace a design's own files.
  if ((!templateFolder.empty() && Within(path, Normal(templateFolder))) ||
      (!designFolder.empty() && Within(path, Normal(designFolder)))) {
    return refuse("the " + what + " cannot go into the design templates");
  }
  return {};
}

std::vector<std::string> TPageSetFolder::Marked() const {
  std::vector<std::string> names;
  std::ifstream in(Folder + kMarkName, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') names.push_back(line);
  }
  return names;
}

std::vector<std::string> TPageSetFolder::Foreign(const std::vector<std::string>& names) const {
  const std::vector<std::string> ours = Marked();
  std::vector<std::string> foreign;
  for (const std::string& name : names) {
    if (Present(Folder + name) && std::find(ours.begin(), ours.end(), name) == ours.end())
      foreign.push_back(name);
  }
  return foreign;
}

TResult TPageSetFolder::Mark(const std::vector<std::string>& names) const {
  std::vector<std::string> ours;
  for (const std::string& name : Marked()) {
    if (Present(Folder + name)) ours.push_back(name);
  }
  for (const std::string& name : names) {
    if (name.find('\n') == std::string::npos) ours.push_back(name);
  }
  std::sort(ours.begin(), ours.end());
  ours.erase(std::unique(ours.begin(), ours.end()), ours.end());
  std::string text =
      "# files of the page sets Kalvane wrote here; it replaces them without asking\n";
  for (const std::string& name : ours)
    text += name + "\n";
  return WriteFileAtomically(Folder + kMarkName, text);
}

std::vector<std::string> TPageSetFolder::SetFiles(const std::string& designFolder) {
  std::vector<std::string> names;
  for (std::string& name : ListFiles(WithTrailingSlash(designFolder))) {
    if (name != "prev.jpg" && name != "prev.html") names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  for (const char* ours : {kMovieName, kLargeMovieName, kPosterName, kViewerPageName, kEmbedName}) {
    if (std::find(names.begin(), names.end(), ours) == names.end()) names.push_back(ours);
  }
  return names;
}

TResult CheckPageSetOutput(const std::string& folder, const std::string& designFolder,
                           bool overwrite) {
  const TPageSetFolder target(folder);
  if (TResult place = target.CheckPlace(GetTemplateFolder(), designFolder); !place.Ok())
    return place;
  if (overwrite) return {};
  const std::vector<std::string> foreign = target.Foreign(TPageSetFolder::SetFiles(designFolder));
  if (foreign.empty()) return {};
  std::string list;
  for (const std::string& name : foreign)
    list += (list.empty() ? "" : ", ") + name;
  return TResult::Fail(TErrorCode::WouldReplace,
                       target.Path() + ": would replace files no page set of ours wrote: " + list);
}

}  // namespace kalvane
