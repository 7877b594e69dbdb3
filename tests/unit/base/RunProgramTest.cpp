#include "base/RunProgram.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestImages.h"
#include "base/AppUtil.h"
#include "base/HeldTemp.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

// Waits up to `seconds` for something to read on `fd` (or its end).
bool Readable(int fd, int seconds) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, seconds * 1000) == 1;
}

TEST(RunProgram, AToolEndsWithTheProgramThatRanIt) {
  test::TempDir dir;
  // The tool says its process id through the pipe and keeps the pipe open
  // for as long as it lives: the pipe's end is the tool's end.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t runner = fork();
  ASSERT_GE(runner, 0);
  if (runner == 0) {
    close(pipeFds[0]);
    if (pipeFds[1] != 3 && dup2(pipeFds[1], 3) != 3) _exit(1);
    RunProgram({"/bin/sh", "-c", "echo $$ >&3; exec sleep 600"}, dir.File("log"), 900);
    _exit(0);
  }
  close(pipeFds[1]);
  ASSERT_TRUE(Readable(pipeFds[0], 60)) << "the tool did not start";
  char text[32] = {};
  ASSERT_GT(read(pipeFds[0], text, sizeof text - 1), 0);
  const pid_t tool = static_cast<pid_t>(std::atoi(text));
  ASSERT_GT(tool, 0);

  kill(runner, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(runner, &status, 0), runner);
  const bool ended = Readable(pipeFds[0], 60) && read(pipeFds[0], text, sizeof text) == 0;
  if (!ended) kill(tool, SIGKILL);
  close(pipeFds[0]);
  EXPECT_TRUE(ended) << "the tool outlived the program that ran it";
}

TEST(RunProgram, AToolsTemporariesGoWithItAndThoseOfAKilledRunGoNext) {
  test::TempDir dir;
  const test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
  ASSERT_TRUE(test::Ok(PrepareExportTempFolder()));
  const std::string work = GetExportTempFolder();
  ASSERT_EQ(work.rfind(dir.Path(), 0), 0u);
  // Left by a killed run; held by a run going on; not ours.
  fs::create_directory(work + "tool-St4le0");
  std::ofstream(work + "tool-St4le0/frame.jpg") << "x";
  std::string busy;
  const int held = CreateHeldFolder(work + "tool-", busy);
  ASSERT_GE(held, 0);
  std::ofstream(work + "tool-F1le00") << "a file";
  fs::create_directory(work + "tools-Ab12Cd");

  const std::string log = dir.File("log");
  const TResult run =
      RunProgram({"/bin/sh", "-c", "echo \"$TMPDIR\"; touch \"$TMPDIR/scratch\""}, log, 60);
  ASSERT_TRUE(test::Ok(run));
  std::string used = test::ReadText(log);
  while (!used.empty() && used.back() == '\n')
    used.pop_back();
  EXPECT_EQ(used.rfind(work + "tool-", 0), 0u) << used;
  EXPECT_NE(used, busy);
  EXPECT_FALSE(fs::exists(used));
  EXPECT_FALSE(fs::exists(work + "tool-St4le0"));
  EXPECT_TRUE(fs::is_directory(busy));
  EXPECT_TRUE(fs::is_regular_file(work + "tool-F1le00"));
  EXPECT_TRUE(fs::is_directory(work + "tools-Ab12Cd"));
  close(held);
  fs::remove_all(work);
}

}  // namespace
}  // namespace kalvane
