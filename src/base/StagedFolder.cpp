#include "base/StagedFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "base/HeldTemp.h"

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

}  // namespace

TStagedFolder::TStagedFolder(const std::string& target)
    : Target(fs::absolute(target).lexically_normal().string()) {
  while (Target.size() > 1 && Target.back() == '/')
    Target.pop_back();
  const fs::path parent = fs::path(Target).parent_path();
  std::error_code ec;
  fs::create_directories(parent, ec);
  const std::string prefix = Target + ".kalvane-";
  RemoveUnheldTemporaries(prefix, THeldKind::Folders);
  Fd = CreateHeldFolder(prefix, Path);
  if (Fd < 0) {
    Reason = parent.string() + ": cannot make a folder there (" +
             std::error_code(errno, std::generic_category()).message() + ")";
    return;
  }
  // mkdtemp's folder is private; the target gets a new folder's mode.
  chmod(Path.c_str(), 0777 & ~CurrentUmask());
  Path += "/";
}

TStagedFolder::~TStagedFolder() {
  if (Fd < 0) return;
  std::error_code ec;
  if (!Moved) fs::remove_all(Path, ec);
  close(Fd);
}

TResult TStagedFolder::MoveIn(const std::vector<std::string>& names) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(Target, ec))) {
    fs::rename(Path, Target, ec);
    if (!ec) {
      Moved = true;
      return {};
    }
  }
  fs::create_directories(Target, ec);
  for (const std::string& name : names) {
    fs::rename(Path + name, Target + "/" + name, ec);
    if (ec) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           Target + "/" + name + ": cannot be put in place (" + ec.message() + ")");
    }
  }
  return {};
}

}  // namespace kalvane
