#include "base/MarkedFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeading = "# ours\n";

// A file outside the folder that a planted link names; it must never change.
struct TOutside {
  explicit TOutside(const test::TempDir& dir) : Path(dir.File("outside.txt")) {
    std::ofstream(Path) << Text;
  }
  bool Untouched() const { return test::ReadText(Path) == Text; }
  std::string Path;
  std::string Text = "velzoom.js\nnotes.txt\n";  // names a mark could hold
};

TEST(MarkedFolder, ALinkAsTheMarkNamesNothingAndIsReplacedItself) {
  test::TempDir dir;
  const TOutside outside(dir);
  fs::create_directories(dir.File("out"));
  std::ofstream(dir.File("out/notes.txt")) << "theirs";
  fs::create_symlink(outside.Path, dir.File("out/.mark"));
  const TMarkedFolder folder(dir.File("out"), ".mark", kHeading);
  EXPECT_TRUE(folder.Marked().empty());
  EXPECT_EQ(folder.Foreign({"notes.txt"}), std::vector<std::string>{"notes.txt"});
  ASSERT_TRUE(test::Ok(folder.RemoveEarlier()));
  EXPECT_EQ(test::ReadText(dir.File("out/notes.txt")), "theirs");
  ASSERT_TRUE(test::Ok(folder.Mark({"a.jpg"})));
  EXPECT_TRUE(outside.Untouched());
  EXPECT_FALSE(fs::is_symlink(dir.File("out/.mark")));
  EXPECT_EQ(test::ReadText(dir.File("out/.mark")), "# ours\na.jpg\n");

  // A pipe as the mark is not waited for.
  fs::remove(dir.File("out/.mark"));
  ASSERT_EQ(mkfifo(dir.File("out/.mark").c_str(), 0600), 0);
  EXPECT_TRUE(folder.Marked().empty());
}

TEST(MarkedFolder, OurFilesReplaceALinkNeverWhatItNames) {
  test::TempDir dir;
  const TOutside outside(dir);
  const std::string out = dir.File("out/");
  fs::create_directories(out);
  fs::create_symlink(outside.Path, out + "a.jpg");
  fs::create_symlink(outside.Path, out + "b.jpg");
  const TMarkedFolder folder(out, ".mark", kHeading);
  EXPECT_TRUE(test::Ok(folder.CheckEntries({"a.jpg", "b.jpg", "new.jpg"})));
  ASSERT_TRUE(test::Ok(folder.Write("a.jpg", "ours")));
  EXPECT_FALSE(fs::is_symlink(out + "a.jpg"));
  EXPECT_EQ(test::ReadText(out + "a.jpg"), "ours");
  // A link of ours is removed itself.
  ASSERT_TRUE(test::Ok(folder.Mark({"a.jpg", "b.jpg"})));
  EXPECT_EQ(folder.Earlier(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  ASSERT_TRUE(test::Ok(folder.RemoveEarlier()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(out + "b.jpg")));
  EXPECT_TRUE(outside.Untouched());
}

TEST(MarkedFolder, WhatAFileCannotReplaceIsNamedBeforeAnythingIsWritten) {
  test::TempDir dir;
  const std::string out = dir.File("out/");
  fs::create_directories(out + "a.jpg");
  std::ofstream(out + "b.jpg") << "kept";
  fs::permissions(out + "b.jpg", fs::perms(0444));
  const TMarkedFolder folder(out, ".mark", kHeading);
  std::string error;
  EXPECT_TRUE(test::Failed(folder.CheckEntries({"x.jpg", "a.jpg"}), &error));
  EXPECT_EQ(error, out + "a.jpg: is a folder, not a file; it is never replaced");
  EXPECT_TRUE(test::Failed(folder.CheckEntries({"b.jpg"}), &error));
  EXPECT_NE(error.find("b.jpg: the file is write-protected"), std::string::npos) << error;
  EXPECT_TRUE(test::Ok(folder.CheckEntries({"b.jpg"}, TReadOnly::Replace)));
}

TEST(MarkedFolder, NamesOfOurFilesHoldNoFolderNorControlCharacter) {
  for (const char* good : {"a.jpg", "スピン 01.webp", ".hidden", "a..b"})
    EXPECT_EQ(OutputNameFault(good), "") << good;
  for (const char* bad : {"", ".", "..", "a/b", "..\\..\\x1.jpg", "a\nb", "a\rb", "\x1b[2J"})
    EXPECT_NE(OutputNameFault(bad), "") << bad;
  EXPECT_EQ(ShownName("a\nb\x1b"), "a\\nb\\x1b");
}

}  // namespace
}  // namespace kalvane
