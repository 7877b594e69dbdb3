#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    names.insert(e.path().filename().string());
  return names;
}

TEST(AtomicFile, OnlyRegularFilesAreReplacedAndTheyKeepTheirMode) {
  test::TempDir dir;
  const std::string file = dir.File("movie.swf");
  std::ofstream(file) << "old";
  fs::permissions(file, fs::perms(0640));
  ASSERT_TRUE(test::Ok(WriteFileAtomically(file, "new")));
  EXPECT_EQ(test::ReadText(file), "new");
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));

  // A link is written through: its target changes, the link stays.
  const std::string link = dir.File("link.swf");
  fs::create_symlink(file, link);
  ASSERT_TRUE(test::Ok(WriteFileAtomically(link, "through")));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::ReadText(file), "through");

  // Folders, pipes and devices are refused, and stay what they were.
  std::string error;
  fs::create_directory(dir.File("folder"));
  EXPECT_TRUE(test::Failed(WriteFileAtomically(dir.File("folder"), "x"), &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir.File("folder")));
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_TRUE(test::Failed(WriteFileAtomically(dir.File("pipe"), "x")));
  EXPECT_TRUE(fs::is_fifo(dir.File("pipe")));
  EXPECT_TRUE(test::Failed(WriteFileAtomically("/dev/null", "x")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 4);  // no temporary left
}

TEST(AtomicFile, ATemporaryLeftByAKilledWriterGoesAtTheNextWriteAndNothingElseDoes) {
  test::TempDir dir;
  const std::string file = dir.File("movie.swf");
  std::ofstream(file) << "old";
  // A writer killed in the middle of its save leaves its temporary.
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    TAtomicFile killed(file);
    if (killed.Ok() && write(killed.Handle(), "half", 4) == 4) raise(SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status));
  const std::set<std::string> left = Names(dir.Path());
  ASSERT_EQ(left.size(), 2u);
  const std::string stale = *std::find_if(left.begin(), left.end(), [](const std::string& n) {
    return n.rfind("movie.swf.kalvane-", 0) == 0;
  });

  // What is not ours, or still in use, stays.
  for (const char* name : {"movie.swf.backup", "other.swf.kalvane-Ab12Cd",
                           "movie.swf.kalvane-Ab-2Cd", "movie.swf.kalvane-Ab12Cde"}) {
    std::ofstream(dir.File(name)) << "keep";
  }
  fs::create_directory(dir.File("movie.swf.kalvane-F0lder"));
  std::ofstream(dir.File("elsewhere")) << "keep";
  fs::create_symlink(dir.File("elsewhere"), dir.File("movie.swf.kalvane-L1nk00"));
  if (geteuid() == 0) {  // another user's file of the same pattern
    std::ofstream(dir.File("movie.swf.kalvane-Th31rs")) << "keep";
    ASSERT_EQ(chown(dir.File("movie.swf.kalvane-Th31rs").c_str(), 4321, 4321), 0);
  }
  std::set<std::string> others = Names(dir.Path());
  ASSERT_EQ(others.erase(stale), 1u);

  // The next writer removes the stale temporary, and only that.
  TAtomicFile busy(file);
  ASSERT_TRUE(busy.Ok());
  std::set<std::string> now = Names(dir.Path());
  EXPECT_EQ(now.count(stale), 0u);
  EXPECT_EQ(now.size(), others.size() + 1);  // its own temporary
  EXPECT_TRUE(std::includes(now.begin(), now.end(), others.begin(), others.end()));
  // One more while that one is at work leaves its temporary alone.
  ASSERT_TRUE(test::Ok(WriteFileAtomically(file, "new")));
  EXPECT_EQ(test::ReadText(file), "new");
  EXPECT_EQ(Names(dir.Path()), now);
  EXPECT_EQ(test::ReadText(dir.File("elsewhere")), "keep");
  ASSERT_EQ(write(busy.Handle(), "busy", 4), 4);
  EXPECT_TRUE(busy.Commit());  // the writer at work was not disturbed
  EXPECT_EQ(test::ReadText(file), "busy");
}

TEST(AtomicFile, ALinkThatNamesNoFileYetIsWrittenThrough) {
  test::TempDir dir;
  fs::create_directory(dir.File("published"));
  // Absolute and relative, and a chain of two.
  fs::create_symlink(dir.File("published/a.swf"), dir.File("a.swf"));
  fs::create_symlink("published/b.swf", dir.File("b.swf"));
  fs::create_symlink("b.swf", dir.File("c.swf"));
  ASSERT_TRUE(test::Ok(WriteFileAtomically(dir.File("a.swf"), "A")));
  ASSERT_TRUE(test::Ok(WriteFileAtomically(dir.File("c.swf"), "C")));
  EXPECT_TRUE(fs::is_symlink(dir.File("a.swf")));
  EXPECT_TRUE(fs::is_symlink(dir.File("b.swf")));
  EXPECT_TRUE(fs::is_symlink(dir.File("c.swf")));
  EXPECT_EQ(test::ReadText(dir.File("published/a.swf")), "A");
  EXPECT_EQ(test::ReadText(dir.File("published/b.swf")), "C");

  // A link into a folder that is not there, and a loop, are refused and stay.
  std::string error;
  fs::create_symlink(dir.File("gone/x.swf"), dir.File("x.swf"));
  EXPECT_TRUE(test::Failed(WriteFileAtomically(dir.File("x.swf"), "x"), &error));
  EXPECT_NE(error.find("whose folder does not exist"), std::string::npos) << error;
  fs::create_symlink("loop2", dir.File("loop1"));
  fs::create_symlink("loop1", dir.File("loop2"));
  EXPECT_TRUE(test::Failed(WriteFileAtomically(dir.File("loop1"), "x"), &error));
  EXPECT_NE(error.find("too many levels of links"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_symlink(dir.File("x.swf")));
  EXPECT_TRUE(fs::is_symlink(dir.File("loop1")));
  EXPECT_FALSE(fs::exists(dir.File("gone")));

  // In a shared sticky folder a link of another user is not followed.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link another owner";
  const std::string shared = dir.File("shared");
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  fs::create_symlink(dir.File("victim"), shared + "/out.swf");
  ASSERT_EQ(lchown((shared + "/out.swf").c_str(), 4321, 4321), 0);
  EXPECT_TRUE(test::Failed(WriteFileAtomically(shared + "/out.swf", "x"), &error));
  EXPECT_NE(error.find("link of another user"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir.File("victim")));
}

TEST(AtomicFile, AWriteProtectedFileIsReplacedOnlyWhenAllowedAndStaysProtected) {
  test::TempDir dir;
  const std::string file = dir.File("project.vpj");
  std::ofstream(file) << "old";
  fs::permissions(file, fs::perms(0444));
  EXPECT_TRUE(IsWriteProtected(file));
  EXPECT_FALSE(IsWriteProtected(dir.File("missing.vpj")));
  std::string error;
  EXPECT_TRUE(test::Failed(WriteFileAtomically(file, "new"), &error));
  EXPECT_NE(error.find("write-protected"), std::string::npos) << error;
  EXPECT_EQ(test::ReadText(file), "old");
  // Through a link too.
  fs::create_symlink(file, dir.File("link.vpj"));
  EXPECT_TRUE(IsWriteProtected(dir.File("link.vpj")));
  EXPECT_TRUE(test::Failed(WriteFileAtomically(dir.File("link.vpj"), "new")));
  EXPECT_EQ(test::ReadText(file), "old");

  ASSERT_TRUE(test::Ok(WriteFileAtomically(file, "new", TReadOnly::Replace)));
  EXPECT_EQ(test::ReadText(file), "new");
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0444));
  fs::permissions(file, fs::perms(0644));
  EXPECT_FALSE(IsWriteProtected(file));
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"link.vpj", "project.vpj"}));
}

}  // namespace
}  // namespace kalvane
