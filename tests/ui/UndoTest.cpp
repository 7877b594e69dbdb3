// Undo and redo of every kind of change, driven as a user does: keys to the
// window, the mouse on the canvas, the rulers and the box, and the menus.
// Each change is compared by the bytes of the project file it saves.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QUndoStack>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "project/ProjectFile.h"
#include "project/ProjectTexts.h"
#include "ui/BoxTool.h"
#include "ui/MainWindow.h"
#include "ui/WorkArea.h"

using C = kalvane::TCommandId;
using kalvane::TPoint;
using kalvane::test::Move;
using kalvane::test::Press;
using kalvane::test::PumpUntil;
using kalvane::test::Release;
using kalvane::ui::TfrmMain;
using kalvane::ui::TWorkArea;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

class UndoTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  TWorkArea& Area() { return window->WorkArea(); }
  QUndoStack& Stack() { return window->UndoStack(); }
  kalvane::TLayerManagement& Items() { return window->Document().LayerItems(); }
  std::string Photo(const std::string& name, int shade) {
    const std::string path = dir->File(name);
    kalvane::test::WriteSolid(path, 80, 60, shade, 255 - shade, 90);
    return path;
  }
  // The project as the Save command would write it, byte for byte.
  std::string Bytes() {
    const std::string path = dir->File("now.vpj");
    kalvane::TPrjSave save;
    save.SetMainWindow(&window->Document());
    if (!save.Save(path).Ok()) qFatal("cannot write %s", path.c_str());
    return ReadBytes(path);
  }
  // A project with four photos, offsets, a turn, two guides and a box,
  // written by the program and opened again; its path.
  std::string OpenProject() {
    std::string text = "[project]\nitemCount=4\nitemRotate=9000\n";
    for (int i = 0; i < 4; ++i) {
      text += "[projectItem" + std::to_string(i) +
              "]\nname=" + Photo("p" + std::to_string(i) + ".png", 40 * i) +
              "\nx=" + std::to_string(i) + "\ny=-" + std::to_string(2 * i) + "\n";
    }
    text +=
        "[guideLine]\ncount=2\n[guideItem0]\ntype=1\nscale=0.5\n[guideItem1]\ntype=0\n"
        "scale=0.25\n[trimBox]\np1x=0.1\np1y=0.2\np2x=0.8\np2y=0.9\n";
    std::ofstream(dir->File("hand.vpj")) << text;
    window->OpenProject(dir->File("hand.vpj"), false);
    WaitForLoader();
    const std::string project = dir->File("opened.vpj");
    std::filesystem::copy_file(dir->File("hand.vpj"), project);
    std::ofstream(project, std::ios::binary) << Bytes();
    window->OpenProject(project, false);
    WaitForLoader();
    QCoreApplication::processEvents();
    return project;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window.get(), static_cast<Qt::Key>(key), modifiers);
  }
  void Undo() { Key(Qt::Key_Z, Qt::ControlModifier); }
  void Redo() { Key(Qt::Key_Y, Qt::ControlModifier); }
  void Trigger(C id) { window->Action(id).trigger(); }
  void Unlock() {
    if (window->ImageLocked())
      QTest::mouseClick(window->findChild<QAbstractButton*>("btnImageLock"), Qt::LeftButton);
  }
  void Drag(int dx, int dy) {
    QWidget* drag = Area().pboxDrag;
    Press(drag, {60, 60});
    Move(drag, {60 + dx, 60 + dy});
    Area().timDragTimer();
    Release(drag, {60 + dx, 60 + dy});
  }

 private slots:
  void init() {
    Open(true);
    window->activateWindow();
  }
  void cleanup() { Close(); }

  void everyKindOfStepIsUndoneAndRedoneByTheBytes() {
    OpenProject();
    Unlock();
    auto& guides = window->Document().GuideLines();
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {kalvane::kStepNudge, [&] { Key(Qt::Key_Right); }},
        {kalvane::kStepDrag, [&] { Drag(30, 12); }},
        {kalvane::kStepMoveDown, [&] { Key(Qt::Key_D, Qt::ControlModifier); }},
        {kalvane::kStepMoveUp, [&] { Key(Qt::Key_U, Qt::ControlModifier); }},
        {kalvane::kStepReverse, [&] { Key(Qt::Key_T, Qt::ControlModifier); }},
        {kalvane::kStepRotateLeft, [&] { Key(Qt::Key_L, Qt::ControlModifier); }},
        {kalvane::kStepRotateRight, [&] { Key(Qt::Key_R, Qt::ControlModifier); }},
        {kalvane::kStepBox,
         [&] {
           auto* corner = Area().findChild<QWidget*>("CornerItem2");
           Press(corner, {4, 4});
           Move(corner, {-30, -20});
           Area().BoxTool().Tick();
           Release(corner, {-30, -20});
         }},
        {kalvane::kStepGuideAdd,
         [&] {
           Press(Area().shpVerGuide, {10, 40});
           Move(Area().shpVerGuide, {120, 40});
           Release(Area().shpVerGuide, {120, 40});
         }},
        {kalvane::kStepGuideMove,
         [&] {
           QWidget* line = Area().findChild<QWidget*>("guide0");
           const QPoint at = line->rect().center();
           Press(line, at);
           Move(line, at + QPoint(0, 25));
           Release(line, at + QPoint(0, 25));
         }},
        {kalvane::kStepGuideDelete,
         [&] {
           // dropped onto the top ruler
           QWidget* line = Area().findChild<QWidget*>("guide0");
           const QPoint at = line->rect().center();
           const QPoint ruler(at.x(), at.y() - line->y() + 8);
           Press(line, at);
           Move(line, ruler);
           Release(line, ruler);
         }},
        {kalvane::kStepGuidesClear,
         [&] {
           dialogs->OkCancel.push_back(true);
           Trigger(C::DeleteGuides);
         }},
        {kalvane::kStepAddItems,
         [&] {
           dialogs->Images.push_back({Photo("q1.png", 10), Photo("q0.png", 20)});
           Key(Qt::Key_N, Qt::ControlModifier);
           WaitForLoader();
         }},
        {kalvane::kStepDeleteItem,
         [&] {
           dialogs->OkCancel.push_back(true);
           Key(Qt::Key_Delete, Qt::ControlModifier);
         }},
        {kalvane::kStepDeleteAll,
         [&] {
           dialogs->OkCancel.push_back(true);
           Trigger(C::DeleteAll);
         }},
    };
    for (const auto& [name, change] : steps) {
      const QByteArray step = QByteArray(name);
      const std::string before = Bytes();
      const int guideCount = guides.Count();
      change();
      const std::string after = Bytes();
      QVERIFY2(after != before, step.constData());
      QVERIFY2(
          window->Action(C::Undo).text() ==
              QString::fromUtf8("元に戻す（") + QString::fromUtf8(name) + QString::fromUtf8("）"),
          step.constData());
      Undo();
      QVERIFY2(Bytes() == before, step.constData());
      QCOMPARE(guides.Count(), guideCount);
      Redo();
      QVERIFY2(Bytes() == after, step.constData());
    }
    QCOMPARE(Items().Count(), 0);
    Undo();  // the deleted photos come back with their pictures
    QCOMPARE(Items().Count(), 5);
    QVERIFY(Items().GetItem(0)->HasImage());
  }

  void twentyMixedStepsUndoneGiveBackTheOpenedFile() {
    const std::string project = OpenProject();
    const std::string opened = ReadBytes(project);
    QCOMPARE(Bytes(), opened);  // written by the program, read and written again
    Unlock();
    const std::vector<std::function<void()>> steps = {
        [&] { Key(Qt::Key_Left); },
        [&] { Key(Qt::Key_L, Qt::ControlModifier); },
        [&] { Drag(-14, 22); },
        [&] { Key(Qt::Key_T, Qt::ControlModifier); },
        [&] { Key(Qt::Key_Down); },
        [&] { Key(Qt::Key_D, Qt::ControlModifier); },
        [&] {
          Press(Area().shpHoGuide, {50, 10});
          Move(Area().shpHoGuide, {50, 70});
          Release(Area().shpHoGuide, {50, 70});
        },
        [&] { Key(Qt::Key_Up); },
        [&] { Key(Qt::Key_R, Qt::ControlModifier); },
        [&] {
          dialogs->Images.push_back({Photo("r.png", 200)});
          Key(Qt::Key_N, Qt::ControlModifier);
          WaitForLoader();
        },
        [&] { Key(Qt::Key_Right); },
        [&] { Key(Qt::Key_U, Qt::ControlModifier); },
        [&] { Drag(8, 8); },
        [&] {
          dialogs->OkCancel.push_back(true);
          Key(Qt::Key_Delete, Qt::ControlModifier);
        },
        [&] { Key(Qt::Key_Left); },
        [&] { Key(Qt::Key_T, Qt::ControlModifier); },
        [&] {
          dialogs->OkCancel.push_back(true);
          Trigger(C::DeleteGuides);
        },
        [&] { Key(Qt::Key_L, Qt::ControlModifier); },
        [&] { Key(Qt::Key_Down); },
        [&] { Key(Qt::Key_D, Qt::ControlModifier); },
    };
    QCOMPARE(static_cast<int>(steps.size()), 20);
    const int start = Stack().index();
    for (const auto& step : steps)
      step();
    QCOMPARE(Stack().index(), start + 20);
    const std::string edited = Bytes();
    QVERIFY(edited != opened);
    QVERIFY(!window->Document().IsSaved());
    for (int i = 0; i < 20; ++i)
      Undo();
    QCOMPARE(Bytes(), opened);
    QVERIFY(window->Document().IsSaved());
    QVERIFY(!window->Action(C::Save).isEnabled());
    for (int i = 0; i < 20; ++i)
      Redo();
    QCOMPARE(Bytes(), edited);
  }

  // Nudges of one item are one step while they follow each other; not
  // across the save point, nor into another item's.
  void nudgesMergeButNotAcrossTheSavePointOrAnotherItem() {
    const std::string opened = ReadBytes(OpenProject());
    Unlock();
    const int start = Stack().count();
    for (int i = 0; i < 5; ++i)
      Key(Qt::Key_Right);
    QCOMPARE(Stack().count(), start + 1);
    Key(Qt::Key_S, Qt::ControlModifier);
    Key(Qt::Key_Down);
    QCOMPARE(Stack().count(), start + 2);
    Items().SelectIndex(1);
    Key(Qt::Key_Down);
    QCOMPARE(Stack().count(), start + 3);
    Undo();
    Undo();
    QVERIFY(window->Document().IsSaved());
    Undo();
    QCOMPARE(Bytes(), opened);
  }

  // However many moves and ticks a drag of a guide or of the box takes,
  // its release is one step, and one undo takes it back.
  void aGuideOrBoxDragWithTheMouseIsOneStep() {
    OpenProject();
    const std::string opened = Bytes();
    const int start = Stack().index();
    QWidget* line = Area().findChild<QWidget*>("guide0");
    const QPoint from = line->geometry().center();
    Press(line, line->mapFromParent(from));
    for (int i = 1; i <= 5; ++i)
      Move(line, line->mapFromParent(from + QPoint(0, 6 * i)));
    Release(line, line->mapFromParent(from + QPoint(0, 30)));
    QCOMPARE(Stack().index(), start + 1);
    const std::string moved = Bytes();
    QWidget* corner = Area().findChild<QWidget*>("CornerItem2");
    const QPoint grip = corner->geometry().center();
    Press(corner, corner->mapFromParent(grip));
    for (int i = 1; i <= 5; ++i) {
      Move(corner, corner->mapFromParent(grip - QPoint(6 * i, 4 * i)));
      Area().BoxTool().Tick();
    }
    Release(corner, corner->mapFromParent(grip - QPoint(30, 20)));
    QCOMPARE(Stack().index(), start + 2);
    Undo();
    QCOMPARE(Bytes(), moved);
    Undo();
    QCOMPARE(Bytes(), opened);
  }

  // A nudge, a quarter turn and a reversal; eight Ctrl+Z give back the
  // opened project exactly, eight Ctrl+Y the edited one.
  void aNudgeATurnAndAReversalGoAndComeBack() {
    const std::string project = OpenProject();
    const std::string opened = ReadBytes(project);
    Unlock();
    Key(Qt::Key_Right);
    Key(Qt::Key_L, Qt::ControlModifier);
    Key(Qt::Key_T, Qt::ControlModifier);
    const std::string edited = Bytes();
    QVERIFY(edited != opened);
    for (int i = 0; i < 8; ++i)
      Undo();
    QCOMPARE(Bytes(), opened);
    for (int i = 0; i < 8; ++i)
      Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Bytes(), edited);
  }

  void theSavedStateFollowsTheHistory() {
    OpenProject();
    Unlock();
    auto saveOn = [this] {
      return window->Action(C::Save).isEnabled() && window->Action(C::Save).isEnabled();
    };
    QVERIFY(!saveOn());
    Key(Qt::Key_L, Qt::ControlModifier);
    QVERIFY(saveOn());
    Undo();
    QVERIFY(!saveOn());
    Redo();
    Key(Qt::Key_S, Qt::ControlModifier);  // the save point moves here
    QVERIFY(!saveOn());
    Undo();
    QVERIFY(saveOn());
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!saveOn());
    // back at the save point, closing asks nothing
    QVERIFY(window->close());
    QCOMPARE(dialogs->Count("yesnocancel"), 0);
  }

  void newAndOpenClearTheHistory() {
    const std::string project = OpenProject();
    Key(Qt::Key_L, Qt::ControlModifier);
    QVERIFY(Stack().canUndo());
    dialogs->OkCancel.push_back(true);
    Trigger(C::NewProject);
    QVERIFY(!Stack().canUndo() && !Stack().canRedo());
    window->OpenProject(project, false);
    WaitForLoader();
    Key(Qt::Key_L, Qt::ControlModifier);
    window->OpenProject(project, true);  // asked and answered no
    QVERIFY(Stack().canUndo());
    dialogs->OkCancel.push_back(true);
    window->OpenProject(project, true);
    WaitForLoader();
    QVERIFY(!Stack().canUndo());
  }

  void atMostTwoHundredStepsAreKept() {
    OpenProject();
    const int turn = Items().GetRotation();
    for (int i = 0; i < 250; ++i)
      Key(Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(Stack().count(), 200);
    while (Stack().canUndo())
      Undo();
    QCOMPARE(Items().GetRotation(), turn + 50 * 9000);  // the oldest fifty are gone
    QVERIFY(!window->Document().IsSaved());             // and the save point with them
  }

  void undoIsRefusedWhileALoadAnExportOrThePreviewRuns() {
    OpenProject();
    Key(Qt::Key_L, Qt::ControlModifier);
    const int at = Stack().index();
    auto refused = [&] {
      const bool off = !window->Action(C::Undo).isEnabled() && !window->Action(C::Redo).isEnabled();
      Undo();
      return off && Stack().index() == at;
    };
    dialogs->Images.push_back({Photo("s.png", 30)});
    Key(Qt::Key_N, Qt::ControlModifier);
    QVERIFY(window->LoaderRunning());
    QVERIFY(refused());
    WaitForLoader();
    Undo();  // the photo added
    QCOMPARE(Stack().index(), at);

    dialogs->Widths.push_back(120);
    dialogs->SaveFiles.push_back(dir->File("out.swf"));
    Trigger(C::ExportPc);
    QVERIFY(window->ExportRunning());
    QVERIFY(refused());
    PumpUntil([this] { return !window->ExportRunning(); });
    QVERIFY(window->Action(C::Undo).isEnabled());

    QTest::mouseClick(window->findChild<QAbstractButton*>("btnPreview"), Qt::LeftButton);
    QVERIFY(refused());
    QTest::mouseClick(window->findChild<QAbstractButton*>("btnPreview"), Qt::LeftButton);
    QVERIFY(window->Action(C::Undo).isEnabled());
    Undo();
    QCOMPARE(Stack().index(), at - 1);
  }
};

KALVANE_UI_TEST_MAIN(UndoTest)
#include "UndoTest.moc"
