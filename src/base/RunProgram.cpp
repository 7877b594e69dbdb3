#include "base/RunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/AppUtil.h"
#include "base/HeldFolder.h"

extern char** environ;

namespace kalvane {

namespace {

// The last lines a program wrote, for the error message.
std::string Tail(const std::string& logFile) {
  std::ifstream in(logFile, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  constexpr std::size_t kKept = 600;
  if (text.size() > kKept) text = "..." + text.substr(text.size() - kKept);
  return text.empty() ? "" : ": " + text;
}

// Makes `fd` the descriptor `target`, open across exec. Safe after fork.
bool Place(int fd, int target) {
  if (fd < 0) return false;
  if (fd == target) return fcntl(fd, F_SETFD, 0) == 0;
  return dup2(fd, target) == target;
}

}  // namespace

TResult RunProgram(const std::vector<std::string>& argv, const std::string& logFile, int seconds,
                   const std::atomic<bool>* cancel) {
  if (argv.empty()) return TResult::Fail(TErrorCode::Internal, "no program to run");
  const std::string name = ExtractName(argv[0]);
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // A folder of the program's own for its temporary files (its TMPDIR),
  // held while it runs and removed after it; one a killed run left behind
  // is removed by the next run. Without the export folder the program
  // keeps the usual one.
  THeldFolder scratch;
  if (PrepareExportTempFolder().Ok()) scratch.Create(GetExportTempFolder() + "tool-");
  std::string tmpdir = "TMPDIR=" + scratch.Path();
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (!scratch.Ok() || std::strncmp(*e, "TMPDIR=", 7) != 0) env.push_back(*e);
  }
  if (scratch.Ok()) env.push_back(tmpdir.data());
  env.push_back(nullptr);

  // The child reports a failed start through this pipe; a successful exec
  // closes it.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    return TResult::Fail(TErrorCode::Internal,
                         name + ": cannot be started: " + std::strerror(errno));
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on. The program ends with the
    // thread that started it (which waits for it below), so a killed export
    // does not leave it running; a parent gone before this line is caught
    // by the check after it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (Place(in, STDIN_FILENO) && Place(out, STDOUT_FILENO) && Place(out, STDERR_FILENO)) {
      execve(argv[0].c_str(), args.data(), env.data());
    }
    const int error = errno;
    while (write(report[1], &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
  }
  const int forkError = errno;
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    return TResult::Fail(TErrorCode::Internal,
                         name + ": cannot be started: " + std::strerror(forkError));
  }
  int startError = 0;
  ssize_t got = 0;
  while ((got = read(report[0], &startError, sizeof startError)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof startError)) {
    int ignored = 0;
    while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
    return TResult::Fail(startError == ENOENT ? TErrorCode::NotFound : TErrorCode::Internal,
                         argv[0] + ": cannot be started: " + std::strerror(startError));
  }

  // Polled rather than waited on, so a cancel or the time limit can stop it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      return TResult::Fail(TErrorCode::Internal, name + ": lost: " + std::strerror(errno));
    }
    const bool cancelled = cancel && cancel->load();
    if (cancelled || std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return cancelled ? TResult::Fail(TErrorCode::Cancelled, "the export was cancelled")
                       : TResult::Fail(TErrorCode::Internal, name + " did not finish within " +
                                                                 std::to_string(seconds) +
                                                                 " seconds and was stopped");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFSIGNALED(status)) {
    return TResult::Fail(
        TErrorCode::Internal,
        name + " ended by signal " + std::to_string(WTERMSIG(status)) + Tail(logFile));
  }
  if (WEXITSTATUS(status) == 127 && Tail(logFile).empty()) {
    return TResult::Fail(TErrorCode::NotFound, argv[0] + ": cannot be started");
  }
  if (WEXITSTATUS(status) != 0) {
    return TResult::Fail(
        TErrorCode::WriteFailed,
        name + " failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")" + Tail(logFile));
  }
  return {};
}

}  // namespace kalvane
