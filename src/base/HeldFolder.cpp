#include "base/HeldFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/HeldTemp.h"

namespace kalvane {

THeldFolder::~THeldFolder() {
  if (Fd < 0) return;
  std::error_code ec;
  if (!Kept) std::filesystem::remove_all(Folder, ec);
  close(Fd);
}

bool THeldFolder::Create(const std::string& prefix) {
  if (Fd >= 0) return false;
  RemoveUnheldTemporaries(prefix, THeldKind::Folders);
  Fd = CreateHeldFolder(prefix, Folder);
  if (Fd >= 0) return true;
  ErrorNumber = errno;
  Folder.clear();
  return false;
}

std::string THeldFolder::Why() const {
  return std::strerror(ErrorNumber);
}

}  // namespace kalvane
