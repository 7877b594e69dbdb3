#include "export/ExportFolderLock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

#include "base/AppUtil.h"

namespace kalvane {

namespace {

constexpr const char* kRecordMark = "kalvane-export-lock 1";
// A command line longer than this is cut when it is named.
constexpr std::size_t kShownCommand = 160;

std::string ReadProcFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An executable replaced since it started reads as "PATH (deleted)".
std::string ExecutableOf(long pid, int& error) {
  char target[PATH_MAX];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n < 0) {
    error = errno;
    return {};
  }
  error = 0;
  std::string path(target, static_cast<std::size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  return path;
}

// Field 22 of /proc/PID/stat, after the name in parentheses (which may
// hold spaces and parentheses itself); 0 when there is no such process.
unsigned long long StartTimeOf(long pid) {
  const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int i = 3; i < 22; ++i)  // the state is field 3
    fields >> field;
  unsigned long long started = 0;
  fields >> started;
  return started;
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

// The host and the pid namespace the process's number counts in: a record
// made elsewhere (another machine sharing the folder, a container) names a
// process that cannot be looked at from here.
std::string PidSpaceOf(long pid) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  char space[128];
  const std::string link = "/proc/" + std::to_string(pid) + "/ns/pid";
  const ssize_t n = readlink(link.c_str(), space, sizeof space);
  return std::string(host) + " " + (n > 0 ? std::string(space, static_cast<std::size_t>(n)) : "");
}

bool SameFile(int fd, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

TLockHolder ReadHolder(int fd) {
  char buffer[4096];
  const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
  return n > 0 ? TLockHolder::Parse(std::string(buffer, static_cast<std::size_t>(n)))
               : TLockHolder{};
}

bool WriteHolder(int fd) {
  const std::string record = TLockHolder::Self().Record();
  if (ftruncate(fd, 0) != 0) return false;
  return pwrite(fd, record.data(), record.size(), 0) == static_cast<ssize_t>(record.size());
}

}  // namespace

TLockHolder TLockHolder::Of(long pid) {
  TLockHolder holder;
  if (pid <= 0) return holder;
  holder.Started = StartTimeOf(pid);
  if (holder.Started == 0) return holder;
  holder.Program = ExecutableOf(pid, holder.ProgramError);
  holder.Command = OneLine(ReadProcFile("/proc/" + std::to_string(pid) + "/cmdline"));
  holder.PidSpace = PidSpaceOf(pid);
  holder.Pid = pid;
  return holder;
}

TLockHolder TLockHolder::Self() {
  return Of(static_cast<long>(getpid()));
}

std::string TLockHolder::Record() const {
  return std::string(kRecordMark) + "\n" + std::to_string(Pid) + " " + std::to_string(Started) +
         "\n" + OneLine(PidSpace) + "\n" + OneLine(Program) + "\n" + OneLine(Command) + "\n";
}

TLockHolder TLockHolder::Parse(const std::string& record) {
  std::istringstream in(record);
  std::string mark, numbers;
  TLockHolder holder;
  if (!std::getline(in, mark) || mark != kRecordMark || !std::getline(in, numbers)) return {};
  std::istringstream values(numbers);
  if (!(values >> holder.Pid >> holder.Started) || holder.Pid <= 0) return {};
  std::getline(in, holder.PidSpace);
  std::getline(in, holder.Program);
  std::getline(in, holder.Command);
  return holder;
}

bool TLockHolder::Alive() const {
  if (Pid <= 0) return false;
  // A process counted elsewhere cannot be judged gone from here.
  if (PidSpace != PidSpaceOf(static_cast<long>(getpid()))) return true;
  const TLockHolder now = Of(Pid);
  if (now.Pid == 0 || now.Started != Started) return false;  // gone, or the number reused
  if (now.ProgramError == ENOENT) return false;              // ended while looked at
  // One /proc will not show may still be ours: not taken for gone.
  if (now.ProgramError != 0) return true;
  return now.Program == Program;
}

std::string TLockHolder::Describe() const {
  std::string command = Command.empty() ? Program : Command;
  if (command.size() > kShownCommand) {
    std::size_t cut = kShownCommand;
    while (cut > 0 && (static_cast<unsigned char>(command[cut]) & 0xC0) == 0x80)
      --cut;  // not inside a UTF-8 character
    command = command.substr(0, cut) + "...";
  }
  return "pid " + std::to_string(Pid) + ": " + command;
}

TResult TExportFolderLock::Take(const std::string& folder,
                                const std::function<void(const TLockHolder&)>& onWait,
                                const std::atomic<bool>* cancel) {
  Release();
  const std::string path = WithTrailingSlash(folder) + kFileName;
  const auto failed = [&path](TErrorCode code, const char* what, int error) {
    return TResult::Fail(code, path + ": " + what + " (" + std::strerror(error) + ")");
  };
  // Taking the lock and writing the record, and judging a holder gone and
  // removing its file, happen under the folder's own lock: a waiter never
  // reads the record of the holder before, nor removes a file just made.
  const int guard = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (guard < 0) return failed(TErrorCode::WriteFailed, "cannot open the export lock", errno);
  TLockHolder told;
  bool waited = false;
  enum class TStep { Taken, Busy, Renewed };
  for (;;) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      const int error = errno;
      close(guard);
      return failed(TErrorCode::WriteFailed, "cannot open the export lock", error);
    }
    for (;;) {
      TStep step = TStep::Busy;
      std::optional<TLockHolder> holder;  // when the record was read
      int error = 0;
      if (flock(guard, LOCK_EX | LOCK_NB) == 0) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
          // A file removed by a waiter that found its holder gone is no lock.
          step = !SameFile(fd, path) ? TStep::Renewed : TStep::Taken;
          if (step == TStep::Taken && !WriteHolder(fd)) error = errno ? errno : EIO;
        } else if (errno == EWOULDBLOCK) {
          holder = ReadHolder(fd);
          if (!SameFile(fd, path)) {
            step = TStep::Renewed;
          } else if (holder->Pid > 0 && !holder->Alive()) {
            unlink(path.c_str());
            step = TStep::Renewed;
          }
        } else if (errno != EINTR) {
          error = errno;
        }
        flock(guard, LOCK_UN);
      } else if (errno != EWOULDBLOCK && errno != EINTR) {
        error = errno;
      }
      if (error != 0) {
        close(fd);
        close(guard);
        return failed(TErrorCode::Busy, "cannot lock the export folder", error);
      }
      if (step == TStep::Taken) {
        close(guard);
        Fd = fd;
        return {};
      }
      if (step == TStep::Renewed) break;
      if (holder && (!waited || holder->Pid != told.Pid || holder->Started != told.Started)) {
        if (onWait) onWait(*holder);
        waited = true;
        told = *holder;
      }
      if (cancel && *cancel) {
        close(fd);
        close(guard);
        return TResult::Fail(TErrorCode::Cancelled, "cancelled while waiting for another export");
      }
      // flock has no timed wait; a short pause keeps cancel responsive.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(fd);
  }
}

void TExportFolderLock::Release() {
  if (Fd >= 0) close(Fd);  // closing releases the lock
  Fd = -1;
}

}  // namespace kalvane
