#include "base/HeldFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

TEST(HeldFolder, APrivateFolderGoesWithItsFilesUnlessKeptWhereItWasMoved) {
  test::TempDir dir;
  const std::string prefix = dir.File("work-");
  std::string made;
  {
    THeldFolder work;
    ASSERT_TRUE(work.Create(prefix)) << work.Why();
    made = work.Path();
    EXPECT_EQ(made.rfind(prefix, 0), 0u);
    EXPECT_EQ(made.size(), prefix.size() + 6);
    struct stat st {};
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "no other user may look in or plant files";
    std::ofstream(made + "/frame.jpg") << "x";
    EXPECT_FALSE(work.Create(prefix)) << "one folder an object";
    EXPECT_EQ(work.Path(), made);
  }
  EXPECT_FALSE(fs::exists(made));

  {
    THeldFolder work;
    ASSERT_TRUE(work.Create(prefix));
    std::ofstream(work.Path() + "/frame.jpg") << "kept";
    fs::rename(work.Path(), dir.File("set"));
    work.Keep();
  }
  EXPECT_EQ(test::ReadText(dir.File("set/frame.jpg")), "kept");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(HeldFolder, AFolderThatCannotBeMadeSaysWhyAndLeavesNothing) {
  test::TempDir dir;
  THeldFolder work;
  EXPECT_FALSE(work.Create(dir.File("missing/work-")));
  EXPECT_FALSE(work.Ok());
  EXPECT_TRUE(work.Path().empty());
  EXPECT_EQ(work.Error(), ENOENT);
  EXPECT_FALSE(work.Why().empty());
  EXPECT_FALSE(fs::exists(dir.File("missing")));
}

}  // namespace
}  // namespace kalvane
