#include "base/StagedFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

std::size_t Entries(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(StagedFolder, ANewFolderAppearsWholeWithTheUsualMode) {
  test::TempDir dir;
  const mode_t mask = umask(022);
  {
    TStagedFolder stage(dir.File("deep/set"));
    ASSERT_TRUE(stage.Ok()) << stage.Error();
    std::ofstream(stage.Folder() + "a.jpg") << "a";
    EXPECT_FALSE(fs::exists(dir.File("deep/set"))) << "nothing in place before it is complete";
    ASSERT_TRUE(test::Ok(stage.MoveIn({"a.jpg"})));
  }
  umask(mask);
  EXPECT_EQ(test::ReadText(dir.File("deep/set/a.jpg")), "a");
  EXPECT_EQ(Entries(dir.File("deep")), 1u);
  struct stat st {};
  ASSERT_EQ(stat(dir.File("deep/set").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST(StagedFolder, AbandonedLeavesNothingAndAnExistingFolderKeepsItsOtherFiles) {
  test::TempDir dir;
  {
    TStagedFolder stage(dir.File("set"));
    ASSERT_TRUE(stage.Ok());
    std::ofstream(stage.Folder() + "half.jpg") << "cut short";
  }
  EXPECT_EQ(Entries(dir.Path()), 0u);

  fs::create_directories(dir.File("set"));
  std::ofstream(dir.File("set/notes.txt")) << "mine";
  std::ofstream(dir.File("set/a.jpg")) << "old";
  {
    TStagedFolder stage(dir.File("set/"));
    std::ofstream(stage.Folder() + "a.jpg") << "new";
    std::ofstream(stage.Folder() + "b.jpg") << "new";
    ASSERT_TRUE(test::Ok(stage.MoveIn({"a.jpg", "b.jpg"})));
  }
  EXPECT_EQ(test::ReadText(dir.File("set/notes.txt")), "mine");
  EXPECT_EQ(test::ReadText(dir.File("set/a.jpg")), "new");
  EXPECT_EQ(test::ReadText(dir.File("set/b.jpg")), "new");
  EXPECT_EQ(Entries(dir.Path()), 1u) << "the folder made aside is gone";
}

// A set of `count` files, each holding `text`, made beside the target and
// put in place with the mark ".set".
TResult PutSet(const std::string& target, int count, const std::string& text) {
  TStagedFolder stage(target, ".set", "# a set\n");
  if (!stage.Ok()) return TResult::Fail(TErrorCode::WriteFailed, stage.Error());
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) {
    names.push_back("f" + std::to_string(i) + ".jpg");
    std::ofstream(stage.Folder() + names.back()) << text;
  }
  return stage.MoveIn(names);
}

// The set's files in the folder: name=content.
std::string SetIn(const std::string& folder) {
  std::string all;
  for (int i = 1; i <= 9; ++i) {
    const std::string path = folder + "/f" + std::to_string(i) + ".jpg";
    if (fs::is_regular_file(fs::symlink_status(path)))
      all += "f" + std::to_string(i) + "=" + test::ReadText(path) + " ";
  }
  return all;
}

TEST(StagedFolder, ASmallerSetReplacesTheWholeEarlierOne) {
  test::TempDir dir;
  const std::string set = dir.File("set");
  ASSERT_TRUE(test::Ok(PutSet(set, 4, "old")));
  struct stat before {};
  ASSERT_EQ(stat(set.c_str(), &before), 0);
  // A folder of nothing but the set is swapped whole.
  ASSERT_TRUE(test::Ok(PutSet(set, 2, "new")));
  EXPECT_EQ(SetIn(set), "f1=new f2=new ");
  struct stat after {};
  ASSERT_EQ(stat(set.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "not swapped";
  EXPECT_EQ(test::ReadText(set + "/.set"), "# a set\nf1.jpg\nf2.jpg\n");
  EXPECT_EQ(Entries(dir.Path()), 1u) << "the earlier set is gone from beside it";

  // Beside the user's files, exactly the earlier set is removed.
  std::ofstream(set + "/notes.txt") << "mine";
  std::ofstream(set + "/f9.jpg") << "mine too";
  ASSERT_TRUE(test::Ok(PutSet(set, 3, "third")));
  EXPECT_EQ(SetIn(set), "f1=third f2=third f3=third f9=mine too ");
  EXPECT_EQ(test::ReadText(set + "/notes.txt"), "mine");
  ASSERT_TRUE(test::Ok(PutSet(set, 1, "fourth")));
  EXPECT_EQ(SetIn(set), "f1=fourth f9=mine too ");
  EXPECT_EQ(Entries(set), 4u);
  EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(StagedFolder, WhatWouldStopTheMoveIsFoundBeforeAnythingChanges) {
  test::TempDir dir;
  const std::string set = dir.File("set");
  ASSERT_TRUE(test::Ok(PutSet(set, 3, "old")));
  std::string error;
  fs::create_directory(set + "/f5.jpg");
  EXPECT_TRUE(test::Failed(PutSet(set, 5, "new"), &error));
  EXPECT_EQ(error, set + "/f5.jpg: is a folder, not a file; it is never replaced");
  EXPECT_EQ(SetIn(set), "f1=old f2=old f3=old ");
  fs::remove(set + "/f5.jpg");
  // An earlier file the user protected is neither replaced nor removed.
  fs::permissions(set + "/f3.jpg", fs::perms(0444));
  EXPECT_TRUE(test::Failed(PutSet(set, 2, "new"), &error));
  EXPECT_NE(error.find("f3.jpg: the file is write-protected"), std::string::npos) << error;
  EXPECT_EQ(SetIn(set), "f1=old f2=old f3=old ");
  EXPECT_EQ(fs::status(set + "/f3.jpg").permissions(), fs::perms(0444));
  EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(StagedFolder, AMarkThatIsALinkIsNotFollowed) {
  test::TempDir dir;
  const std::string set = dir.File("set");
  fs::create_directories(set);
  std::ofstream(dir.File("list")) << "notes.txt\n";
  std::ofstream(set + "/notes.txt") << "mine";
  fs::create_symlink(dir.File("list"), set + "/.set");
  fs::create_symlink(dir.File("list"), set + "/f1.jpg");
  ASSERT_TRUE(test::Ok(PutSet(set, 1, "new")));
  EXPECT_EQ(test::ReadText(set + "/notes.txt"), "mine");
  EXPECT_EQ(test::ReadText(dir.File("list")), "notes.txt\n");
  EXPECT_FALSE(fs::is_symlink(set + "/.set"));
  EXPECT_FALSE(fs::is_symlink(set + "/f1.jpg"));
  EXPECT_EQ(SetIn(set), "f1=new ");
}

}  // namespace
}  // namespace kalvane
