#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"
#include "base/RunProgram.h"
#include "export/ExportTexts.h"
#include "export/MobileTools.h"
#include "export/SwfList.h"
#include "swf/SwfCombine.h"
#include "swf/SwfReader.h"
#include "swf/SwfTestUtil.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The build's own tools and master movie.
const std::string kBuilt = KALVANE_PROGRAM_DIR;

// A program folder at `folder` with the built tools, or with a stand-in
// shell script for `fake`, by default one that prints a complaint and
// exits 3.
void ProgramFolder(const std::string& folder, const std::string& fake = "",
                   const std::string& script = "echo 'no room left' >&2\nexit 3\n") {
  fs::create_directories(folder + "/template_m");
  for (const char* tool : {"jpeg2swf", "swfcombine"}) {
    if (tool == fake) {
      std::ofstream(folder + "/" + tool) << "#!/bin/sh\n" << script;
      fs::permissions(folder + "/" + tool, fs::perms::owner_all);
    } else {
      fs::copy_file(kBuilt + tool, folder + "/" + tool);
    }
  }
  fs::copy_file(kBuilt + "template_m/velmobile.swf", folder + "/template_m/velmobile.swf");
}

TSwfList Frames(const std::string& folder, int count, int height = 120) {
  fs::create_directories(folder);
  TSwfList list;
  for (int i = 0; i < count; ++i) {
    list.Add(folder + "/" + std::to_string(i) + ".jpg");
    test::WriteJpeg(list[i], 160, height);
  }
  list.SetSwfWidth(160);
  list.SetSwfHeight(height);
  return list;
}

TEST(MobileExport, TheRecordHoldsTheTwoCommandLinesExactly) {
  TempDir dir;
  const std::string programs = dir.File("prog"), work = dir.File("work");
  ProgramFolder(programs);
  const TSwfList list = Frames(work, 2);
  ASSERT_TRUE(test::Ok(list.MakeMobileSwf(dir.File("m.swf"), programs, work)));
  const std::string w = work + "/";
  const std::string first = "\"" + programs + "/jpeg2swf\" -r 3 -q 72 -o \"" + w +
                            "motmp1.swf\"  \"" + w + "0.jpg\" \"" + w + "1.jpg\"";
  const std::string second = "\"" + programs + "/swfcombine\" -o \"" + dir.File("m.swf") + "\" \"" +
                             w + "motmp0.swf\" loadRect_mc=\"" + w + "motmp1.swf\"";
  EXPECT_EQ(test::ReadText(w + "motmp.bat"), first + "\r\n" + second + "\r\n");
  const TSwfFile movie = TSwfFile::Read(dir.File("m.swf"));
  EXPECT_EQ(movie.FrameCount, 1);
  EXPECT_EQ(movie.Tags.size(), 1 + 2 * 2 + 3u);  // card, two pictures, sprite, place, show
}

TEST(MobileExport, TheToolsAndTheMasterMovieMayLieInTwoFolders) {
  TempDir dir;
  const std::string tools = dir.File("lib"), data = dir.File("share"), work = dir.File("work");
  ProgramFolder(tools);
  fs::create_directories(data + "/template_m");
  fs::rename(tools + "/template_m/velmobile.swf", data + "/template_m/velmobile.swf");
  const TSwfList list = Frames(work, 2);
  ASSERT_TRUE(test::Ok(list.MakeMobileSwf(dir.File("m.swf"), TMobileKit{tools, data}, work)));
  EXPECT_EQ(TSwfFile::Read(dir.File("m.swf")).FrameCount, 1);
  EXPECT_EQ(test::ReadText(work + "/motmp.bat").rfind("\"" + tools + "/jpeg2swf\" ", 0), 0u);
  // the tools' folder alone has no master movie
  const TResult r = list.MakeMobileSwf(dir.File("n.swf"), tools, work);
  EXPECT_EQ(r.Code, TErrorCode::ToolFailed);
  EXPECT_FALSE(fs::exists(dir.File("n.swf")));
}

TEST(MobileExport, TheStageHasTheFramesSizeSoTallBoxesShowWhole) {
  TempDir dir;
  const std::string programs = dir.File("prog");
  ProgramFolder(programs);
  const std::string master = programs + "/template_m/velmobile.swf";
  EXPECT_EQ(test::Hex(TSwfFile::Read(master).FrameRect), "68 00 19 00 00 06 40 00");  // 160 x 160
  for (const int height : {300, 120}) {
    const TSwfList list = Frames(dir.File("work"), 2, height);
    const std::string out = dir.File("m" + std::to_string(height) + ".swf");
    ASSERT_TRUE(test::Ok(list.MakeMobileSwf(out, programs, dir.File("work"))));
    const TSwfFile movie = TSwfFile::Read(out);
    EXPECT_EQ(movie.Stage(), (TRect32{0, 0, 20 * 160, 20 * height}));
    EXPECT_EQ(test::Hex(movie.FrameRect),
              height == 300 ? "70 00 06 40 00 00 BB 80" : "68 00 19 00 00 04 B0 00");
  }
  // the installed master stays as it was
  EXPECT_EQ(TSwfFile::Read(master).Stage(), (TRect32{0, 0, 3200, 3200}));
  TSwfFile moved;
  moved.SetStage({-40, -20, 100, 60});
  EXPECT_EQ(moved.Stage(), (TRect32{-40, -20, 100, 60}));
}

TEST(MobileExport, FoldersWithHostileNamesRunNothingElse) {
  TempDir dir;
  const std::string odd = "a b \"q\" 'p' $(touch PWNED) `touch PWNED2`; touch PWNED3";
  const std::string programs = dir.File(odd + " prog"), work = dir.File(odd + " work");
  ProgramFolder(programs);
  const TSwfList list = Frames(work, 2);
  const std::string out = dir.File(odd + " -o.swf");
  ASSERT_TRUE(test::Ok(list.MakeMobileSwf(out, programs, work)));
  EXPECT_GT(fs::file_size(out), 0u);
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.Path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name != "PWNED" && name != "PWNED2" && name != "PWNED3") << e.path();
  }
  EXPECT_FALSE(fs::exists("PWNED") || fs::exists("PWNED2") || fs::exists("PWNED3"));
}

TEST(MobileExport, AMissingOrFailingToolIsAnErrorNamingIt) {
  TempDir dir;
  const TSwfList list = Frames(dir.File("work"), 2);
  ProgramFolder(dir.File("failing"), "jpeg2swf");
  TResult r = list.MakeMobileSwf(dir.File("m.swf"), dir.File("failing"), dir.File("work"));
  EXPECT_EQ(r.Code, TErrorCode::ToolFailed);
  EXPECT_NE(r.Error.find("jpeg2swf failed (exit status 3): no room left"), std::string::npos)
      << r.Error;
  EXPECT_FALSE(fs::exists(dir.File("m.swf")));

  fs::remove(dir.File("failing/template_m/velmobile.swf"));
  EXPECT_FALSE(MobileToolsPresentIn(dir.File("failing/")));
  r = list.MakeMobileSwf(dir.File("m.swf"), dir.File("failing"), dir.File("work"));
  EXPECT_EQ(r.Code, TErrorCode::ToolFailed);
  EXPECT_NE(r.Error.find("velmobile.swf: missing"), std::string::npos) << r.Error;

  TSwfList many;
  for (int i = 0; i <= TSwfList::kMaxFrames; ++i)
    many.Add(dir.File("none.jpg"));
  EXPECT_EQ(many.MakeMobileSwf(dir.File("m.swf"), kBuilt, dir.File("work")).Code,
            TErrorCode::TooManyItems);
}

TEST(MobileExport, ACombinerThatSaysItWorkedIsCheckedByItsOutput) {
  TempDir dir;
  const TSwfList list = Frames(dir.File("work"), 2);
  const std::string out = dir.File("m.swf");
  // swfcombine -o OUT MASTER loadRect_mc=SLIDES: $2 is the output, $3 the master
  const std::vector<std::pair<std::string, std::string>> fakes = {
      {"nothing", "exit 0\n"},
      {"empty", ": > \"$2\"\n"},
      {"garbage", "printf 'GARBAGE!' > \"$2\"\n"},
      {"the master", "cp \"$3\" \"$2\"\n"},  // a movie, but of the card alone
  };
  for (const auto& [what, script] : fakes) {
    const std::string programs = dir.File("prog-" + what);
    ProgramFolder(programs, "swfcombine", script);
    std::ofstream(out) << "the last export";
    const TResult r = list.MakeMobileSwf(out, programs, dir.File("work"));
    EXPECT_EQ(r.Code, TErrorCode::ToolFailed) << what;
    EXPECT_NE(r.Error.find("swfcombine reported success but"), std::string::npos) << r.Error;
    // the last export stays whatever the combiner wrote, and is not taken for this one
    EXPECT_NE(r.Error.find(out + " was left as it was"), std::string::npos) << r.Error;
    EXPECT_EQ(test::ReadText(out), "the last export") << what;
    if (what == "nothing") {
      EXPECT_NE(r.Error.find("wrote no movie"), std::string::npos) << r.Error;
    }
    if (what == "the master") {
      EXPECT_NE(r.Error.find("1 frames, not 2"), std::string::npos) << r.Error;
    }
  }
  fs::remove(out);
  ProgramFolder(dir.File("prog-none"), "swfcombine", "exit 0\n");
  const TResult none = list.MakeMobileSwf(out, dir.File("prog-none"), dir.File("work"));
  EXPECT_NE(none.Error.find("wrote no movie"), std::string::npos) << none.Error;
  // the real tool passes the same check, and its movie replaces the file, keeping its mode
  std::ofstream(out) << "the last export";
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(test::Ok(list.MakeMobileSwf(out, kBuilt, dir.File("work"))));
  EXPECT_EQ(SpriteFrames(TSwfFile::Read(out), "loadRect_mc"), 2u);
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().string().find(".kalvane-"), std::string::npos) << entry.path();
}

TEST(MobileExport, ACancelStopsTheToolAtOnce) {
  TempDir dir;
  std::atomic<bool> cancel{true};
  const TResult r = RunProgram({"/bin/sleep", "30"}, dir.File("log"), 60, &cancel);
  EXPECT_EQ(r.Code, TErrorCode::Cancelled);
  EXPECT_EQ(RunProgram({dir.File("nothing-here")}, dir.File("log"), 5).Code, TErrorCode::NotFound);
}

// A hung tool holds the export lock no longer than the work could take:
// half a minute for a usual turn, two for the most frames a movie holds.
TEST(MobileExport, AHungToolIsStoppedWithinTheTimeItsFramesCouldTake) {
  EXPECT_LE(TSwfList::ToolSeconds(72), 30);
  EXPECT_LE(TSwfList::ToolSeconds(TSwfList::kMaxFrames), 120);
  EXPECT_GE(TSwfList::ToolSeconds(TSwfList::kMaxFrames), 100);  // 14 s measured
}

TEST(MobileExport, TheMessageFollowsTheSizeLimit) {
  EXPECT_STREQ(MobileDoneText(99999), "携帯端末用データファイルの書き出しが完了しました");
  const std::string text = MobileDoneText(100000);
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "携帯端末用SWFコンテンツの書き出しが完了しました");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[5], "　「写真のトリミングボックス高さを縮める」");
  EXPECT_EQ(lines[7], "などで100KB以内に収まるよう調整して下さい");
}

}  // namespace
}  // namespace kalvane
