#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/Result.h"

namespace kalvane {

// The process that holds an export folder's lock, as it wrote itself into
// the lock file, so a waiting export can name it and tell when it is gone.
struct TLockHolder {
  long Pid = 0;                    // 0: unknown (nobody wrote, or an unreadable record)
  unsigned long long Started = 0;  // when the process started, as the kernel counts it
  std::string PidSpace;            // the host and pid namespace Pid counts in
  std::string Program;             // its executable
  std::string Command;             // its command line, for the user
  int ProgramError = 0;            // why Program could not be read (errno); not recorded

  // The process `pid` as it is now; Pid 0 when there is none.
  static TLockHolder Of(long pid);
  static TLockHolder Self();
  // The lock file's text, and back (Pid 0 for text that is no record).
  std::string Record() const;
  static TLockHolder Parse(const std::string& record);
  // Whether that very process still runs that program: a pid that is gone,
  // reused by another process or running something else is no holder.
  bool Alive() const;
  // "pid 4242: kalvane-cli export shoe.vpj -o shoe.swf"
  std::string Describe() const;
};

// The lock that keeps two exports by the same user (two windows, or the
// editor and the command line) from writing their frames into the one
// export folder at once: the second waits until the first is done. The
// holder writes itself into the lock file; a lock whose holder is gone
// (or is no longer the process it named) is taken over.
class TExportFolderLock {
 public:
  TExportFolderLock() = default;
  TExportFolderLock(const TExportFolderLock&) = delete;
  TExportFolderLock& operator=(const TExportFolderLock&) = delete;
  ~TExportFolderLock() { Release(); }

  // Takes the lock file in `folder`, waiting while another export holds it:
  // `onWait` runs when it has to wait, naming the holder, and again when
  // the holder changes; `cancel` (when given) ends the wait. A lock file
  // that cannot be opened or locked is an error.
  TResult Take(const std::string& folder,
               const std::function<void(const TLockHolder&)>& onWait = nullptr,
               const std::atomic<bool>* cancel = nullptr);
  bool Held() const { return Fd >= 0; }
  void Release();

  static constexpr const char* kFileName = ".export-lock";

 private:
  int Fd = -1;
};

}  // namespace kalvane
