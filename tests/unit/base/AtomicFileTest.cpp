#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace kalvane
