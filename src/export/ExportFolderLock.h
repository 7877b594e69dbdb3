#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/Result.h"

namespace kalvane {

// The lock that keeps two exports by the same user (two windows, or the
// editor and the command line) from writing their frames into the one
// export folder at once: the second waits until the first is done.
class TExportFolderLock {
 public:
  TExportFolderLock() = default;
  TExportFolderLock(const TExportFolderLock&) = delete;
  TExportFolderLock& operator=(const TExportFolderLock&) = delete;
  ~TExportFolderLock() { Release(); }

  // Takes the lock file in `folder`, waiting while another export holds it:
  // `onWait` runs once when it has to wait, and `cancel` (when given) ends
  // the wait. A lock file that cannot be opened or locked is an error.
  TResult Take(const std::string& folder, const std::function<void()>& onWait = nullptr,
               const std::atomic<bool>* cancel = nullptr);
  bool Held() const { return Fd >= 0; }
  void Release();

  static constexpr const char* kFileName = ".export-lock";

 private:
  int Fd = -1;
};

}  // namespace kalvane
