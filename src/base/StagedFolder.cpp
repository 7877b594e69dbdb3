#include "base/StagedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace kalvane {

namespace fs = std::filesystem;

namespace {

// Read, not set and set back: umask() would change it for every thread.
mode_t CurrentUmask() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 022;
}

std::string Why() {
  return std::strerror(errno);
}

TResult Failed(const std::string& why) {
  return TResult::Fail(TErrorCode::WriteFailed, why);
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  return names;
}

}  // namespace

TStagedFolder::TStagedFolder(const std::string& target, std::string markName, std::string heading)
    : TargetPath(TMarkedFolder(target, {}, {}).Path()),
      MarkName(std::move(markName)),
      Heading(std::move(heading)) {
  while (TargetPath.size() > 1 && TargetPath.back() == '/')
    TargetPath.pop_back();
  if (TargetPath.empty() || TargetPath == "/") {
    Reason = "no folder was given for the set";
    return;
  }
  const fs::path parent = fs::path(TargetPath).parent_path();
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (!Staged.Create(TargetPath + ".kalvane-")) {
    Reason = parent.string() + ": cannot make a folder there (" + Staged.Why() + ")";
    return;
  }
  // mkdtemp's folder is private; the target gets a new folder's mode.
  chmod(Staged.Path().c_str(), 0777 & ~CurrentUmask());
  Path = Staged.Path() + "/";
}

TResult TStagedFolder::MoveIn(const std::vector<std::string>& names) {
  if (!Staged.Ok()) return Failed(Reason);
  const std::string staged = Path.substr(0, Path.size() - 1);
  // Noted in the set itself, for a target made by the rename.
  if (!MarkName.empty()) {
    if (TResult marked = TMarkedFolder(Path, MarkName, Heading).Mark(names); !marked.Ok())
      return marked;
  }
  struct stat st {};
  if (lstat(TargetPath.c_str(), &st) != 0) {
    if (rename(staged.c_str(), TargetPath.c_str()) == 0) {
      Staged.Keep();
      PlacedCount = static_cast<int>(names.size());
      return {};
    }
    // Made meanwhile: filled as any folder is.
    if (lstat(TargetPath.c_str(), &st) != 0)
      return Failed(TargetPath + ": the folder cannot be made (" + Why() +
                    "); nothing was written");
  }
  if (!S_ISDIR(st.st_mode)) return Failed(TargetPath + ": is a file, not a folder");

  // Everything that would stop the move is found before anything changes.
  const TMarkedFolder target = Target();
  const std::vector<std::string> earlier =
      MarkName.empty() ? std::vector<std::string>() : target.Earlier();
  std::vector<std::string> places = names;
  if (!MarkName.empty()) places.push_back(MarkName);
  if (TResult free = target.CheckEntries(places); !free.Ok()) return free;
  // An earlier file the user protected is not removed either.
  if (TResult free = target.CheckEntries(earlier); !free.Ok()) return free;
  struct stat made {};
  if (stat(staged.c_str(), &made) != 0 || made.st_dev != st.st_dev) {
    return Failed(TargetPath +
                  ": the set cannot be moved in from beside it (another file system); nothing "
                  "was changed");
  }
  if (!MarkName.empty() && Swap(earlier, names)) return {};
  return MoveByMark(target, earlier, names);
}

bool TStagedFolder::Swap(const std::vector<std::string>& earlier,
                         const std::vector<std::string>& names) {
  // Only a folder of nothing but the earlier set is swapped whole: the
  // user's files stay where they are.
  std::set<std::string> ours(earlier.begin(), earlier.end());
  ours.insert(names.begin(), names.end());
  ours.insert(MarkName);
  for (const std::string& name : Entries(TargetPath)) {
    if (!ours.count(name)) return false;
  }
  const std::string staged = Path.substr(0, Path.size() - 1);
  // One step: the target holds either set whole, never a mix. A file
  // system that cannot swap falls back to the mark.
  if (renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, TargetPath.c_str(), RENAME_EXCHANGE) != 0)
    return false;
  Staged.Keep();
  PlacedCount = static_cast<int>(names.size());
  // The earlier set is where the new one was made. What came into the
  // target between the look and the swap goes back.
  for (const std::string& name : Entries(staged)) {
    const std::string from = Path + name;
    struct stat st {};
    if (ours.count(name) && lstat(from.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      unlink(from.c_str());
    } else {
      renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, (TargetPath + "/" + name).c_str(),
                RENAME_NOREPLACE);
    }
  }
  rmdir(staged.c_str());
  return true;
}

TResult TStagedFolder::MoveByMark(const TMarkedFolder& target,
                                  const std::vector<std::string>& earlier,
                                  const std::vector<std::string>& names) {
  // Noted first, so a run cut short leaves every file of both noted.
  if (!MarkName.empty()) {
    if (TResult marked = target.Mark(names); !marked.Ok()) return marked;
  }
  const std::string total = std::to_string(names.size());
  // The earlier set goes first, so the folder never holds files of both.
  for (std::size_t i = 0; i < earlier.size(); ++i) {
    const std::string path = target.Path() + earlier[i];
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      return Failed(path + ": the earlier file cannot be removed (" + Why() + "); " +
                    (i == 0 ? std::string("nothing was changed")
                            : std::to_string(i) + " of the earlier set's " +
                                  std::to_string(earlier.size()) +
                                  " files were removed and none of the new set is in place"));
    }
  }
  for (const std::string& name : names) {
    const std::string path = target.Path() + name;
    if (rename((Path + name).c_str(), path.c_str()) != 0) {
      return Failed(path + ": cannot be put in place (" + Why() + "); " +
                    std::to_string(PlacedCount) + " of the " + total + " files are in place" +
                    (earlier.empty() ? "" : " and the earlier set was removed"));
    }
    ++PlacedCount;
  }
  if (!MarkName.empty()) return target.Mark({});
  return {};
}

}  // namespace kalvane
