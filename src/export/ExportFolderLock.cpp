#include "export/ExportFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/AppUtil.h"

namespace kalvane {

TResult TExportFolderLock::Take(const std::string& folder, const std::function<void()>& onWait,
                                const std::atomic<bool>* cancel) {
  Release();
  const std::string path = WithTrailingSlash(folder) + kFileName;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    return TResult::Fail(TErrorCode::WriteFailed,
                         path + ": cannot open the export lock (" + std::strerror(errno) + ")");
  }
  bool told = false;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) {
      close(fd);
      return TResult::Fail(TErrorCode::Busy,
                           path + ": cannot lock the export folder (" + std::strerror(error) + ")");
    }
    if (!told && onWait) onWait();
    told = true;
    if (cancel && *cancel) {
      close(fd);
      return TResult::Fail(TErrorCode::Cancelled, "cancelled while waiting for another export");
    }
    // flock has no timed wait; a short pause keeps cancel responsive.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Fd = fd;
  return {};
}

void TExportFolderLock::Release() {
  if (Fd >= 0) close(Fd);  // closing releases the lock
  Fd = -1;
}

}  // namespace kalvane
