#include "project/ProjectFlows.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "LoaderFakes.h"
#include "StepLog.h"
#include "TestImages.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"

namespace kalvane {
namespace {

using test::TempDir;

// Answers from a script, every question written down.
class TScriptedQuestions : public IFlowQuestions {
 public:
  bool ConfirmNew() override { return Take("new"); }
  bool ConfirmDiscard() override { return Take("discard"); }
  std::optional<std::string> PickSavePath() override {
    Log += "pick;";
    if (Paths.empty()) return std::nullopt;
    std::optional<std::string> path = Paths.front();
    Paths.pop_front();
    return path;
  }
  bool ConfirmReplaceReadOnly(const std::string&) override { return Take("readonly"); }
  void SaveFailed(const std::string&) override { Log += "failed;"; }
  TCloseAnswer AskSaveOnClose() override {
    Log += "close;";
    return Close;
  }
  bool Take(const char* what) {
    Log += std::string(what) + ";";
    const bool answer = !Answers.empty() && Answers.front();
    if (!Answers.empty()) Answers.pop_front();
    return answer;
  }
  std::deque<bool> Answers;
  std::deque<std::optional<std::string>> Paths;
  TCloseAnswer Close = TCloseAnswer::Cancel;
  std::string Log;
};

class Flows : public testing::Test {
 protected:
  void AddPhoto() {
    const std::string path = dir.File("a" + std::to_string(doc.LayerItems().Count()) + ".png");
    test::WriteSolid(path, 40, 30, 10, 20, 30);
    TPrjItemLoadThread adder;
    adder.SetMainWindow(&doc);
    adder.SetFiles({path});
    adder.Run();
  }
  TempDir dir;
  test::TRecordingView view;
  TProjectDocument doc{&view};
  test::TStepLog history{doc};
  TScriptedQuestions ask;
  TProjectFlows flows{doc, ask};
};

TEST_F(Flows, NewAsksOnlyWhenItWouldLoseWork) {
  EXPECT_FALSE(flows.NewProject());
  EXPECT_EQ(ask.Log, "");
  AddPhoto();
  ask.Answers = {false};
  EXPECT_FALSE(flows.NewProject());  // modified: asked, declined
  EXPECT_EQ(doc.LayerItems().Count(), 1);
  doc.MarkSaved();
  EXPECT_TRUE(flows.NewProject());  // saved: nothing to lose, nothing asked
  EXPECT_EQ(ask.Log, "new;");
  EXPECT_EQ(doc.LayerItems().Count(), 0);
  EXPECT_TRUE(doc.IsSaved());
  EXPECT_FALSE(history.CanUndo());  // the history went with the project
  EXPECT_EQ(view.Caption, "Kalvane ");
}

TEST_F(Flows, AnOpenAsksOnlyToDropAModifiedProjectWithItems) {
  EXPECT_TRUE(flows.MayDiscard());
  AddPhoto();  // modified
  EXPECT_FALSE(flows.MayDiscard());
  EXPECT_TRUE(flows.MayDiscard(false));  // the command line's project
  doc.MarkSaved();
  EXPECT_TRUE(flows.MayDiscard());
  EXPECT_EQ(ask.Log, "discard;");
}

TEST_F(Flows, SaveWritesToTheProjectsFileOrWhereTheUserPicks) {
  AddPhoto();
  EXPECT_FALSE(flows.Save());  // picking cancelled: nothing changes
  EXPECT_FALSE(doc.IsSaved());
  ask.Paths = {dir.File("p.vpj")};
  EXPECT_TRUE(flows.Save());
  EXPECT_TRUE(doc.IsSaved());
  EXPECT_EQ(view.Caption, "Kalvane (" + dir.File("p.vpj") + ")");
  doc.NudgeItem(doc.CurrentId(), {4, 4});
  EXPECT_TRUE(flows.Save());  // the file exists: no question
  EXPECT_EQ(ask.Log, "pick;pick;");
  // Save as leaves the saved state as it was
  doc.NudgeItem(doc.CurrentId(), {4, 4});
  ask.Paths = {dir.File("q.vpj")};
  EXPECT_TRUE(flows.SaveAs());
  EXPECT_FALSE(doc.IsSaved());
  EXPECT_EQ(doc.ProjectPath(), dir.File("q.vpj"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("q.vpj")));
}

TEST_F(Flows, AFailedOrRefusedSaveLeavesTheProjectModified) {
  AddPhoto();
  ask.Paths = {dir.File("missing/folder/p.vpj")};
  EXPECT_FALSE(flows.Save());
  EXPECT_FALSE(doc.IsSaved());
  const std::string locked = dir.File("locked.vpj");
  std::ofstream(locked) << "old";
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
  ask.Paths = {locked};
  ask.Answers = {false};
  EXPECT_FALSE(flows.Save());
  EXPECT_EQ(test::ReadText(locked), "old");
  EXPECT_EQ(ask.Log, "pick;failed;pick;readonly;");
}

TEST_F(Flows, CloseAsksOnlyWhenModifiedAndStaysWhenTheSaveIsCancelled) {
  EXPECT_TRUE(flows.Close());
  AddPhoto();
  ask.Close = IFlowQuestions::TCloseAnswer::Cancel;
  EXPECT_FALSE(flows.Close());
  ask.Close = IFlowQuestions::TCloseAnswer::Save;  // and then the pick is cancelled
  EXPECT_FALSE(flows.Close());
  EXPECT_TRUE(history.CanUndo());
  ask.Close = IFlowQuestions::TCloseAnswer::Discard;
  EXPECT_TRUE(flows.Close());
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(ask.Log, "close;close;pick;close;");
}

}  // namespace
}  // namespace kalvane
