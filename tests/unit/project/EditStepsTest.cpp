#include "project/EditSteps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "LoaderFakes.h"
#include "StepLog.h"
#include "TestImages.h"
#include "project/LoadThread.h"
#include "project/ProjectFile.h"
#include "project/ProjectTexts.h"

namespace kalvane {
namespace {

using test::TempDir;

class Steps : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> photos;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
      photos.push_back(dir.File(name));
      test::WriteSolid(photos.back(), 40, 30, 90, 120, 150);
    }
    Add(photos);
    doc.AddGuide(1, 0.25);
    doc.MarkSaved();
  }
  void Add(const std::vector<std::string>& photos) {
    TPrjItemLoadThread adder;
    adder.SetMainWindow(&doc);
    adder.SetDialogs(&dialogs);
    adder.SetFiles(photos);
    adder.SetInsertMode(doc.LayerItems().Count() > 0);
    adder.Run();
  }
  std::string Text() {
    TPrjSave save;
    save.SetMainWindow(&doc);
    return save.Text();
  }
  TItemId Id(int index) { return doc.LayerItems().GetItem(index)->GetId(); }
  // Offsets and moves in the item's work pixels (what the file's x/y hold).
  TItemOffset At(TItemId id, double x, double y) {
    const double s = doc.LayerItems().FindById(id)->GetScale();
    return {{}, {x / s, y / s}};
  }
  void Nudge(TItemId id, double dx, double dy) {
    const double s = doc.LayerItems().FindById(id)->GetScale();
    doc.NudgeItem(id, {dx / s, dy / s});
  }
  // Does, undoes and redoes one change, comparing the project file's text.
  void Check(const std::string& name, const std::function<void()>& change) {
    SCOPED_TRACE(name);
    const std::string before = Text();
    const int steps = history.CurrentIndex();
    change();
    const std::string after = Text();
    EXPECT_NE(after, before);
    EXPECT_EQ(history.CurrentIndex(), steps + 1);
    EXPECT_EQ(history.UndoName(), name);
    history.Undo();
    EXPECT_EQ(Text(), before);
    history.Redo();
    EXPECT_EQ(Text(), after);
  }

  TempDir dir;
  test::TRecordingView view;
  TProjectDocument doc{&view};
  test::TStepLog history{doc};
  test::TScriptedDialogs dialogs;
};

TEST_F(Steps, EveryKindIsUndoneAndRedoneExactly) {
  std::vector<std::string> more{dir.File("d.png")};
  test::WriteSolid(more[0], 40, 30, 0, 0, 0);
  Check(kStepAddItems, [&] { Add(more); });
  EXPECT_EQ(doc.LayerItems().GetItem(1)->GetItemName(), "d.png");  // after the current item
  Check(kStepNudge, [&] { Nudge(Id(1), 3, -2); });
  Check(kStepDrag, [&] {
    const TItemOffset before = doc.ItemOffset(Id(0));
    doc.SetItemOffset(Id(0), At(Id(0), 17, 9));
    doc.DragEnded(Id(0), before);
  });
  Check(kStepMoveDown, [&] { doc.MoveItem(Id(0), 1); });
  Check(kStepMoveUp, [&] { doc.MoveItem(Id(2), 0); });
  Check(kStepReverse, [&] { doc.ReverseItems(); });
  Check(kStepRotateLeft, [&] { doc.RotateAll(9000); });
  Check(kStepRotateRight, [&] { doc.RotateAll(-9000); });
  Check(kStepAlign, [&] {
    // Found by id; what was not trusted keeps its place.
    std::vector<TAlignment> found(3);
    for (int i = 0; i < 3; ++i) {
      found[static_cast<std::size_t>(i)].Id = Id(2 - i);
      found[static_cast<std::size_t>(i)].FineAfter = {4.0 + i, -1.5};
      found[static_cast<std::size_t>(i)].Trusted = i != 1;
    }
    const TItemOffset kept = doc.ItemOffset(Id(1));
    doc.ApplyAlignment(found);
    EXPECT_EQ(doc.ItemOffset(Id(2)).Fine, (TPointF{4, -1.5}));
    EXPECT_EQ(doc.ItemOffset(Id(0)).Fine, (TPointF{6, -1.5}));
    EXPECT_EQ(doc.ItemOffset(Id(1)), kept);
  });
  Check(kStepDeleteItem, [&] { doc.DeleteItem(Id(1)); });
  Check(kStepDeleteAll, [&] { doc.DeleteAllItems(); });
  Check(kStepGuideAdd, [&] { doc.AddGuide(0, 0.5); });
  Check(kStepGuideAdd, [&] { doc.AddGuide(1, 0.125); });
  Check(kStepGuideMove, [&] { doc.MoveGuide(1, 0.75); });
  Check(kStepGuideDelete, [&] { doc.DeleteGuide(0); });  // the last takes its place
  EXPECT_EQ(doc.GuideLines().GetGuide(0)->GetRelPos(), 0.125);
  Check(kStepGuidesClear, [&] { doc.DeleteAllGuides(); });
  Check(kStepBox, [&] { doc.SetBox({0.1, 0.2, 0.7, 0.8}); });
  Check(kStepBox, [&] {
    // a drag's end: the box shown where the drag left it, the step from
    // where it began
    const TRelBox before = doc.TrimRelBox();
    doc.SetTrimRelBox({0.2, 0.1, 0.9, 0.6});
    doc.SetBox(doc.TrimRelBox(), before);
  });
}

TEST_F(Steps, OperationsThatChangeNothingAreNoSteps) {
  const int steps = history.CurrentIndex();
  doc.MoveGuide(0, 0.25);
  doc.MoveGuide(3, 0.5);
  doc.DeleteGuide(-1);
  doc.SetBox(doc.TrimRelBox());
  doc.SetBox({1.5, 1.0, 0.0, -2.0});  // what it holds: the whole image
  EXPECT_EQ(history.CurrentIndex(), steps + 1);
  doc.SetBox({0, 0, 1, 1});
  doc.DeleteAllGuides();
  doc.DeleteAllGuides();
  EXPECT_EQ(history.CurrentIndex(), steps + 2);
  EXPECT_EQ(doc.TrimRelBox(), (TRelBox{0, 0, 1, 1}));
}

TEST_F(Steps, TheSavedStateFollowsTheHistory) {
  EXPECT_TRUE(doc.IsSaved());
  Nudge(Id(0), 1, 0);
  EXPECT_FALSE(doc.IsSaved());
  history.Undo();
  EXPECT_TRUE(doc.IsSaved());
  history.Redo();
  doc.MarkSaved();  // saved here
  history.Undo();
  EXPECT_FALSE(doc.IsSaved());
  history.Redo();
  EXPECT_TRUE(doc.IsSaved());
  // a change the history cannot take back leaves no save point
  doc.MarkModified();
  history.Undo();
  history.Redo();
  EXPECT_FALSE(doc.IsSaved());
  // a project without items has nothing to save
  doc.DeleteAllItems();
  EXPECT_TRUE(doc.IsSaved());
}

// Undone and redone, deleted and added photos come back as the items they
// were, pictures and all: their files are not read again (here they are
// gone), and they stay the items the other steps find by id.
TEST_F(Steps, PhotosComeBackWithTheirPicturesWithoutReadingThemAgain) {
  const std::string before = Text();
  const TLayerItemObject* second = doc.LayerItems().GetItem(1);
  const TBitmap24* picture = second->GetDisplayBitmap();
  Nudge(Id(1), 6, 6);
  doc.DeleteItem(Id(1));
  doc.DeleteAllItems();
  for (int i = 0; i < 3; ++i)
    std::filesystem::remove(dir.File(std::string(1, static_cast<char>('a' + i)) + ".png"));
  history.Undo();
  history.Undo();
  ASSERT_EQ(doc.LayerItems().Count(), 3);
  EXPECT_EQ(doc.LayerItems().GetItem(1), second);
  EXPECT_EQ(second->GetDisplayBitmap(), picture);
  history.Undo();  // the nudge still finds it by its id
  EXPECT_EQ(Text(), before);

  std::vector<std::string> more{dir.File("d.png")};
  test::WriteSolid(more[0], 40, 30, 0, 0, 0);
  Add(more);
  const TLayerItemObject* added = doc.LayerItems().FindByName("d.png");
  history.Undo();
  std::filesystem::remove(more[0]);
  history.Redo();
  EXPECT_EQ(doc.LayerItems().FindByName("d.png"), added);
  EXPECT_TRUE(added->HasImage());
  EXPECT_TRUE(std::none_of(view.Log.begin(), view.Log.end(),
                           [](const std::string& line) { return line.rfind("warning:", 0) == 0; }));
}

}  // namespace
}  // namespace kalvane

namespace kalvane {
namespace {

// A key held repeats many times a second; nudges a while apart are
// separate moves, each undone by itself.
TEST(NudgeSteps, MergeOnlyWhileTheyFollowWithinASecond) {
  using namespace std::chrono_literals;
  const TOffsetStep::TClock::time_point t0{};
  auto nudge = [](TOffsetStep::TClock::time_point at, double x) {
    TItemOffset before, after;
    after.Fine = {x, 0};
    return TOffsetStep(kStepNudge, {{7, before, after}}, true, at);
  };
  TOffsetStep held = nudge(t0, 1);
  EXPECT_TRUE(held.MergeWith(nudge(t0 + 400ms, 2)));
  EXPECT_TRUE(held.MergeWith(nudge(t0 + 1300ms, 3)));  // a second after the last, not the first
  EXPECT_FALSE(held.MergeWith(nudge(t0 + 2400ms, 4)));
}

}  // namespace
}  // namespace kalvane
