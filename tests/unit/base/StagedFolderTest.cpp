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

}  // namespace
}  // namespace kalvane
