#include "base/RunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/AppUtil.h"

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

}  // namespace

TResult RunProgram(const std::vector<std::string>& argv, const std::string& logFile, int seconds,
                   const std::atomic<bool>* cancel) {
  if (argv.empty()) return TResult::Fail(TErrorCode::Internal, "no program to run");
  const std::string name = ExtractName(argv[0]);
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, logFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0].c_str(), &files, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) {
    return TResult::Fail(rc == ENOENT ? TErrorCode::NotFound : TErrorCode::Internal,
                         argv[0] + ": cannot be started: " + std::strerror(rc));
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
