#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "document/GuideShape.h"
#include "document/LayerManagement.h"
#include "imaging/ImageKit.h"
#include "ui/BoxTool.h"
#include "ui/GuideTool.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/PhotoLevels.h"
#include "ui/WorkArea.h"

using C = kalvane::TCommandId;
using kalvane::TPoint;
using kalvane::test::Mouse;
using kalvane::test::Move;
using kalvane::test::Press;
using kalvane::test::PumpUntil;
using kalvane::test::Release;
using kalvane::test::TScriptedWindowDialogs;
using kalvane::ui::TfrmMain;
using kalvane::ui::TWorkArea;

namespace {
constexpr int kGrab = kalvane::ui::TGuideTool::kGrab;  // a line's widget reaches past it
}  // namespace

class WorkAreaTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  // A photo red left of column `edge`, blue from it on, with a grey band
  // across, so places in it can be told apart.
  void AddEdgePhoto(const std::string& name, int w, int h, int edge) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool band = y > h / 2 - 10 && y < h / 2 + 10;
        image.setPixelColor(
            x, y, x < edge ? QColor(255, band ? 128 : 0, 0) : QColor(0, band ? 128 : 0, 255));
      }
    }
    QVERIFY(image.save(QString::fromStdString(dir->File(name)), "PNG"));
    window->AddImages({dir->File(name)});
    PumpUntil([this] { return !window->LoaderRunning(); });
    QCoreApplication::processEvents();
  }
  // The canvas at 400 % about a photo point, once every piece is made.
  QImage ZoomedShot(double px, double py) {
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    Area().SetZoom(4, canvas->ToScreen({px * s, py * s}));
    // Twice: a view painted while the canvas was still changing asks for
    // its pieces only once it rests.
    for (int round = 0; round < 2; ++round) {
      canvas->grab();
      PumpUntil([canvas] { return canvas->Levels.Pending() == 0; });
    }
    return canvas->grab().toImage();
  }
  void Wheel(QPointF at, int delta, Qt::KeyboardModifiers modifiers) {
    QWidget* target = Area().pboxDrag;
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &e);
  }
  kalvane::TPointF Fine() { return Items().GetSelected()->GetFineOffset(); }

  kalvane::TLayerManagement& Items() { return window->Document().LayerItems(); }
  TWorkArea& Area() { return window->WorkArea(); }
  TPoint Offset() { return Items().GetSelected()->GetOffset(); }
  bool UndoEnabled() { return window->Action(C::Undo).isEnabled(); }
  void Add(const std::vector<std::string>& names, int w = 80, int h = 60) {
    std::vector<std::string> files;
    for (const std::string& name : names) {
      files.push_back(dir->File(name));
      kalvane::test::WriteSolid(files.back(), w, h, 90, 90, 90);
    }
    window->AddImages(files);
    PumpUntil([this] { return !window->LoaderRunning(); });
    QCoreApplication::processEvents();  // the panel shown again is laid out
  }
  // A drag on the canvas by (dx, dy) canvas pixels, with one timer tick.
  void Drag(int dx, int dy) {
    QWidget* drag = Area().pboxDrag;
    Press(drag, {50, 50});
    if (dx || dy) Move(drag, {50 + dx, 50 + dy});
    Area().timDragTimer();
    Release(drag, {50 + dx, 50 + dy});
  }
  void Unlock() {
    if (window->ImageLocked())
      kalvane::test::Click(window->findChild<QAbstractButton*>("btnImageLock"));
  }

 private slots:
  void init() { Open(true); }
  void cleanup() { Close(); }

  void theCanvasScaleAndDrawnSize() {
    kalvane::TProjectDocument document;
    kalvane::TViewState view;
    TWorkArea area(document, view, nullptr);
    area.resize(444, 331);  // the canvas at its design size, 409 x 297
    area.show();
    QCOMPARE(area.pboxMain->size(), QSize(409, 297));
    area.pboxMain->grab();
    QCOMPARE(area.pboxMain->CanvasScale(), 2.97);
    QCOMPARE(area.pboxMain->DrawnSize(), (kalvane::TSize{297, 297}));
    QCOMPARE(document.GuideLines().Count(), 0);
    QCOMPARE(area.ImageArea().Size, QSize(297, 297));
    kalvane::test::WriteSolid(dir->File("wide.png"), 818, 400, 10, 10, 10);
    document.LayerItems().SetItemScale(1.0);
    document.LayerItems().AddItem("wide.png", dir->File("wide.png"));
    document.LayerItems().SelectIndex(0);
    document.LayerItems().Render();
    area.pboxMain->grab();
    QCOMPARE(area.pboxMain->CanvasScale(), 0.5);
    QCOMPARE(area.pboxMain->DrawnSize(), (kalvane::TSize{409, 200}));
  }

  void dragsAndNudgesAreStepsOfTheHistory() {
    Add({"a.png", "b.png"});
    window->Document().MarkSaved();
    const int added = window->UndoStack().index();  // adding the photos was a step
    Drag(0, 0);                                     // locked: nothing
    QCOMPARE(Offset(), (TPoint{0, 0}));
    Unlock();
    Drag(0, 0);  // no movement: no step, not modified
    QCOMPARE(window->UndoStack().index(), added);
    QVERIFY(window->Document().IsSaved());
    const double scale = Area().pboxMain->CanvasScale();
    Drag(static_cast<int>(10 * scale), 0);
    QCOMPARE(Offset(), (TPoint{10, 0}));
    QVERIFY(UndoEnabled());
    QCOMPARE(window->Action(C::Undo).text(), QString("元に戻す（画像移動）"));
    QVERIFY(!window->Document().IsSaved());
    Drag(0, static_cast<int>(4 * scale));
    QCOMPARE(Offset(), (TPoint{10, 4}));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);  // the second drag
    QCOMPARE(Offset(), (TPoint{10, 0}));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);  // and the first
    QCOMPARE(Offset(), (TPoint{0, 0}));
    QVERIFY(window->Document().IsSaved());  // back at the save point
    QCOMPARE(window->UndoStack().index(), added);
    QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Offset(), (TPoint{10, 4}));

    // consecutive nudges of one item are one step
    QTest::keyClick(window.get(), Qt::Key_Down);
    QTest::keyClick(window.get(), Qt::Key_Down);
    QTest::keyClick(window.get(), Qt::Key_Right);
    QCOMPARE(Offset(), (TPoint{11, 6}));
    QCOMPARE(window->Action(C::Undo).text(), QString("元に戻す（画像移動（キー））"));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Offset(), (TPoint{10, 4}));

    // not while the image is being dragged: the drag ends as one step
    QWidget* drag = Area().pboxDrag;
    Press(drag, {50, 50});
    Move(drag, {50 + static_cast<int>(3 * scale), 50});
    Area().timDragTimer();
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Offset(), (TPoint{13, 4}));
    Release(drag, {50 + static_cast<int>(3 * scale), 50});
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Offset(), (TPoint{10, 4}));

    // a step belongs to its item, whichever is current when it is undone
    Items().SelectIndex(1);
    QVERIFY(UndoEnabled());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Items().GetItem(0)->GetOffset(), (TPoint{10, 0}));
    QCOMPARE(Items().GetItem(1)->GetOffset(), (TPoint{0, 0}));
  }

  void lockedImagesIgnoreKeysButThePressTakesTheFocus() {
    Add({"a.png"});
    auto* bar = window->findChild<QSlider*>("tBarNoudo");
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnLayerMono"));
    QVERIFY(bar->hasFocus());
    Press(Area().pboxDrag, {20, 20});
    Release(Area().pboxDrag, {20, 20});
    QVERIFY(!bar->hasFocus());
    QTest::keyClick(window.get(), Qt::Key_Right);
    QCOMPARE(Offset(), (TPoint{0, 0}));
    Unlock();
    QTest::keyClick(window.get(), Qt::Key_Right);
    QCOMPARE(Offset(), (TPoint{1, 0}));
    QVERIFY(!window->Document().IsSaved());
  }

  void guidesFromTheRulers() {
    Add({"a.png"});
    auto& guides = window->Document().GuideLines();
    window->Document().MarkSaved();
    QWidget* top = Area().shpHoGuide;
    Press(top, {40, 10});
    // shown while it is pulled, in the document only once it is dropped
    auto* line = Area().findChild<QWidget*>("guide0");
    QVERIFY(line && line->isVisible());
    QCOMPARE(line->geometry().top() + kGrab, 13);  // the ruler's top is panel y 3
    QCOMPARE(guides.Count(), 0);
    Release(top, {40, 10});  // over the ruler: gone again, and nothing changed
    QVERIFY(!Area().findChild<QWidget*>("guide0"));
    QCOMPARE(guides.Count(), 0);
    QVERIFY(window->Document().IsSaved());

    QWidget* left = Area().shpVerGuide;
    Press(left, {10, 40});
    Move(left, {100, 40});
    Release(left, {100, 40});
    QCOMPARE(guides.Count(), 1);
    QCOMPARE(guides.GetGuide(0)->GetOrientation(), 0);
    QCOMPARE(Area().ImageArea().X(guides.GetGuide(0)->GetRelPos()), 102);
    line = Area().findChild<QWidget*>("guide0");
    QVERIFY(line && line->isVisible());
    QCOMPARE(line->geometry().left() + kGrab, 102);

    kalvane::test::Click(window->findChild<QAbstractButton*>("btnGuideLock"));
    Press(top, {40, 10});
    Release(top, {40, 10});
    QCOMPARE(guides.Count(), 1);  // locked: the rulers do nothing
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnGuideLock"));
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnGuideShow"));
    QVERIFY(!line->isVisible());
    Press(top, {40, 10});
    QCOMPARE(guides.Count(), 1);  // hidden: nothing either
  }

  void theBoxOnScreenFollowsItsModel() {
    Add({"a.png"});
    auto* corner = Area().findChild<QWidget*>("CornerItem0");
    QVERIFY(corner && corner->isVisible());
    const kalvane::ui::TScreenBox box = Area().BoxTool().ScreenBox();
    QCOMPARE(corner->geometry(), QRect(box.x1 - 4, box.y1 - 4, 8, 8));
    window->Document().SetBox({0.25, 0.25, 0.5, 0.5});
    const kalvane::ui::TImageArea& area = Area().ImageArea();
    QCOMPARE(corner->geometry().topLeft() + QPoint(4, 4), QPoint(area.X(0.25), area.Y(0.25)));
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnTrimShow"));
    QVERIFY(!corner->isVisible());
  }

  void rowsAreNamedByACounterThatNeverGoesBack() {
    Add({"a.png", "b.png", "c.png"});
    auto& panel = window->LayerList();
    Items().SelectIndex(2);
    dialogs->OkCancel = {true};
    window->Action(C::DeleteItem).trigger();
    QCOMPARE(panel.RowCount(), 2);
    Add({"d.png"});
    QCOMPARE(panel.RowCount(), 3);
    QCOMPARE(panel.Row(2)->objectName(), QString("layerAbsolute3"));
  }

  void selectingScrollsTheRowIntoView() {
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i)
      names.push_back("p" + std::to_string(10 + i) + ".png");
    Add(names, 40, 30);
    auto& panel = window->LayerList();
    QScrollBar* bar = panel.scrLayerList->verticalScrollBar();
    QVERIFY(bar->isVisible());
    Items().SelectIndex(11);  // below: becomes the bottom row
    const int h = kalvane::ui::TflmLayerList::kRowHeight;
    const int visible = panel.scrLayerList->viewport()->height();
    QCOMPARE(bar->value(), std::min(bar->maximum(), (11 - visible / h + 1) * h));
    Items().SelectIndex(1);  // above: becomes the top row
    QCOMPARE(bar->value(), 1 * h);
  }

  void theCurrentRowIsShownAfterALoad() {
    std::vector<std::string> names, more;
    for (int i = 0; i < 12; ++i) {
      names.push_back("p" + std::to_string(10 + i) + ".png");
      more.push_back("q" + std::to_string(10 + i) + ".png");
    }
    Add(names, 40, 30);
    Items().SelectIndex(11);
    Add(more, 40, 30);  // inserted after the current row, the panel hidden meanwhile
    auto& panel = window->LayerList();
    QScrollBar* bar = panel.scrLayerList->verticalScrollBar();
    const int h = kalvane::ui::TflmLayerList::kRowHeight;
    const int top = Items().GetSelected()->GetIndex() * h - bar->value();
    QVERIFY2(top >= 0 && top + h <= panel.scrLayerList->viewport()->height(),
             qPrintable(QString("row top %1").arg(top)));
  }

  void sameNamedItemsAndTheCheckImage() {
    std::filesystem::create_directories(dir->File("one"));
    std::filesystem::create_directories(dir->File("two"));
    Add({"one/a.png"});
    // a second a.png from another folder is refused by the loader, so the
    // list gets it directly, as an older project might hold it
    kalvane::test::WriteSolid(dir->File("two/a.png"), 80, 60, 90, 90, 90);
    Items().AddItem("a.png", dir->File("two/a.png"));
    auto& panel = window->LayerList();
    QCOMPARE(panel.RowCount(), 2);
    QTest::mouseClick(panel.Row(0), Qt::LeftButton);
    QVERIFY(Items().GetItem(0)->GetSelected() && Items().GetItem(1)->GetSelected());
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnLayerMono"));
    auto* check = panel.Row(0)->findChild<QWidget*>("imgCheck");
    QVERIFY(check->isVisible());
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(Items().GetItem(0)->GetMonoVisible());
    QVERIFY(!Items().GetItem(1)->GetMonoVisible());  // the later one of that name
  }

  void aDayOfWorkIsSavedAndReopenedExactly() {
    Add({"a.png", "b.png"});
    Unlock();
    const double scale = Area().pboxMain->CanvasScale();
    Items().SelectIndex(1);
    Drag(static_cast<int>(6 * scale), 0);
    QTest::keyClick(window.get(), Qt::Key_Up);
    Press(Area().shpHoGuide, {40, 10});
    Move(Area().shpHoGuide, {40, 90});
    Release(Area().shpHoGuide, {40, 90});
    window->Document().SetBox({0.125, 0.25, 0.75, 0.875});
    const std::string project = dir->File("day.vpj");
    dialogs->SaveFiles = {project};
    window->Action(C::Save).trigger();
    const double guide = window->Document().GuideLines().GetGuide(0)->GetRelPos();

    window = std::make_unique<TfrmMain>(dialogs.get(), dir->File("velinit"));
    window->resize(900, 700);
    window->show();
    window->OpenProject(project, false);
    PumpUntil([this] { return !window->LoaderRunning(); });
    QCOMPARE(Items().GetItem(1)->GetOffset(), (TPoint{6, -1}));
    QCOMPARE(window->Document().GuideLines().Count(), 1);
    QCOMPARE(window->Document().GuideLines().GetGuide(0)->GetRelPos(), guide);
    QCOMPARE(window->Document().TrimBox().GetRelBox(),
             (kalvane::TRelBox{0.125, 0.25, 0.75, 0.875}));
    QVERIFY(window->Document().IsSaved());
  }

  void aRightClickOnTheCanvasOpensThePopupAndItsItemsRunTheirCommands() {
    Add({"a.png", "b.png"});
    // The pointer's widget, as a user's click finds it.
    const QPoint at = Area().pboxDrag->mapTo(window.get(), QPoint(60, 40));
    QWidget* under = window->childAt(at);
    QCOMPARE(under, static_cast<QWidget*>(Area().pboxDrag));
    const QPoint local = under->mapFrom(window.get(), at);
    QTest::mousePress(under, Qt::RightButton, {}, local);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), QString("pmenuWorkArea"));
    QStringList names;
    for (QAction* action : popup->actions())
      names << (action->isSeparator() ? "-" : action->objectName());
    QCOMPARE(names, (QStringList{"pMenuWork1", "-", "pMenuWork2", "-", "pMenuWork3", "pMenuWork4",
                                 "-", "pMenuWork5", "pMenuWork6", "-", "WM7", "WM8"}));
    QCOMPARE(popup->actions()[10]->text(), QString("元に戻す（アイテムの追加）"));
    QCOMPARE(popup->actions()[2]->text(), QString::fromUtf8("画像ロック(&R)"));
    QTest::mouseRelease(under, Qt::RightButton, {}, local);
    QCOMPARE(Offset(), (TPoint{0, 0}));  // the right button drags nothing
    // 画像ロック, picked with the mouse, flips the button and the lock.
    QVERIFY(window->ImageLocked());
    QAction* lock = popup->actions()[2];
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(lock).center());
    QVERIFY(!window->ImageLocked());
    QVERIFY(!window->findChild<QAbstractButton*>("btnImageLock")->isChecked());
    QVERIFY(!QApplication::activePopupWidget());
    // ボックス表示 by its key, the popup opened again.
    QTest::mousePress(under, Qt::RightButton, {}, local);
    popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QTest::keyClick(popup, Qt::Key_S);
    QVERIFY(!Area().findChild<QWidget*>("CornerItem0")->isVisible());
    // 元に戻す and やり直し, picked with the mouse, take a nudge back and make it again.
    QTest::keyClick(window.get(), Qt::Key_Left);
    QCOMPARE(Offset(), (TPoint{-1, 0}));
    for (C id : {C::Undo, C::Redo}) {
      QTest::mousePress(under, Qt::RightButton, {}, local);
      popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(popup);
      QAction* action = &window->Action(id);
      QVERIFY(action->isEnabled());
      QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(action).center());
      QCOMPARE(Offset(), (TPoint{id == C::Undo ? 0 : -1, 0}));
    }
  }

  void pressedTogglesAreFilledAndCaptionsFit() {
    Add({"a.png"});
    for (const char* name : {"btnImageLock", "btnLayerMono"}) {
      auto* button = window->findChild<QAbstractButton*>(name);
      const int text = button->fontMetrics().horizontalAdvance(button->text());
      QVERIFY2(button->width() >= text + 8, name);
    }
    // Pressed, enabled: the accent fill; released or disabled: a light one.
    auto* lock = window->findChild<QAbstractButton*>("btnImageLock");
    const auto fill = [lock] { return lock->grab().toImage().pixelColor(3, lock->height() / 2); };
    QVERIFY(lock->isChecked());
    QVERIFY(fill().lightness() < 140);
    lock->setEnabled(false);
    QVERIFY(fill().lightness() > 140);
  }

  void aLockedImageSaysHowToUnlockIt() {
    Add({"a.png"});
    QVERIFY(window->ImageLocked());
    QTest::mousePress(Area().pboxDrag, Qt::LeftButton, {}, {50, 50});
    QVERIFY(window->statusBar()->currentMessage().contains("Ctrl+I"));
    // the zoom and offset line makes way for the whole hint meanwhile
    QVERIFY(!window->findChild<QLabel*>("lblWorkStatus")->isVisible());
    QTest::mouseRelease(Area().pboxDrag, Qt::LeftButton, {}, {50, 50});
    window->statusBar()->clearMessage();
    QTest::keyClick(window.get(), Qt::Key_Left);
    QVERIFY(window->statusBar()->currentMessage().contains("Ctrl+I"));
    QCOMPARE(Offset(), (TPoint{0, 0}));
  }

  // ---- zoom and pan -----------------------------------------------------------

  void theCtrlWheelZoomsAboutThePointerAndThePlainWheelDoesNot() {
    AddEdgePhoto("edge.png", 1200, 900, 601);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const QPointF at(130.0, 95.0);
    const QPointF before = canvas->ToWork(at);
    Wheel(at, 120, Qt::NoModifier);
    QCOMPARE(Area().Zoom(), 0.0);
    std::vector<double> zooms;
    for (int i = 0; i < 5; ++i) {
      Wheel(at, 120, Qt::ControlModifier);
      QVERIFY(Area().Zoom() > (zooms.empty() ? 0.0 : zooms.back()));
      zooms.push_back(Area().Zoom());
      const QPointF now = canvas->ToWork(at);
      QVERIFY2(std::abs(now.x() - before.x()) < 1e-6 && std::abs(now.y() - before.y()) < 1e-6,
               qPrintable(QString("zoom %1: %2,%3").arg(Area().Zoom()).arg(now.x()).arg(now.y())));
    }
    Wheel(at, -120, Qt::ControlModifier);
    QCOMPARE(Area().Zoom(), zooms[3]);
    QVERIFY(std::abs(canvas->ToWork(at).x() - before.x()) < 1e-6);
    // the keys: Ctrl+0 fit, Ctrl+1 100 %, Ctrl+= and Ctrl+- a step
    QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(Area().Zoom(), 0.0);
    QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(Area().Zoom(), 1.0);
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(Area().Zoom(), 1.5);
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(Area().Zoom(), 1.0);
    QVERIFY(window->findChild<QScrollBar*>("scrWorkH")->isVisible());
  }

  void aNudgeIsOneScreenPixelAtTheZoomAndADragFollowsThePointer() {
    AddEdgePhoto("edge.png", 1200, 900, 601);
    Unlock();
    const kalvane::TPointF first = Fine();
    Area().SetZoom(4, {100, 100});
    QTest::keyClick(window.get(), Qt::Key_Right);
    QCOMPARE(Fine().X, 0.25);
    QTest::keyClick(window.get(), Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(Fine().Y, -2.5);
    Area().SetZoom(1, {100, 100});
    QTest::keyClick(window.get(), Qt::Key_Right);
    QCOMPARE(Fine().X, 1.25);
    // at fit, one work pixel as always
    Area().SetZoom(0, {100, 100});
    const TPoint work = Offset();
    QTest::keyClick(window.get(), Qt::Key_Left);
    QCOMPARE(Offset(), (TPoint{work.X - 1, work.Y}));
    // a drag of 10 screen pixels at 400 % moves 2.5 photo pixels
    Area().SetZoom(4, {100, 100});
    const kalvane::TPointF start = Fine();
    Drag(10, -6);
    QCOMPARE(Fine().X, start.X + 2.5);
    QCOMPARE(Fine().Y, start.Y - 1.5);
    window->Action(C::Undo).trigger();
    QCOMPARE(Fine(), start);
    // the nudges were one step, and the history keeps their fractions
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Fine(), first);
    QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Fine(), start);
  }

  void theBoxGuidesAndOverlayFollowEveryZoom() {
    AddEdgePhoto("edge.png", 1200, 900, 601);
    AddEdgePhoto("edge2.png", 1200, 900, 611);
    window->Document().AddGuide(1, 0.5);
    kalvane::test::Click(window->findChild<QAbstractButton*>("btnLayerMono"));
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const QSize work = canvas->WorkSize();
    const kalvane::TRelBox rel = window->Document().TrimBox().GetRelBox();
    for (const double zoom : {0.0, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0}) {
      // the box's top-left corner on the work point it marks
      const QPointF corner(rel.p1x * work.width(), rel.p1y * work.height());
      Area().SetZoom(zoom, canvas->ToScreen(corner));
      const QPointF expected =
          canvas->ToScreen(corner) + QPointF(TWorkArea::kOrigin, TWorkArea::kOrigin);
      const kalvane::ui::TScreenBox box = Area().BoxTool().ScreenBox();
      QVERIFY2(std::abs(box.x1 - expected.x()) <= 1 && std::abs(box.y1 - expected.y()) <= 1,
               qPrintable(QString("zoom %1: %2,%3 against %4,%5")
                              .arg(zoom)
                              .arg(box.x1)
                              .arg(box.y1)
                              .arg(expected.x())
                              .arg(expected.y())));
      QWidget* edge = window->findChild<QWidget*>("shpEdge0");
      QVERIFY(std::abs(edge->geometry().top() - box.y1) <= 1);
      // the guide at half the height
      const double guideAt = canvas->ToScreen({0, 0.5 * work.height()}).y() + TWorkArea::kOrigin;
      const int guideTop = Area().findChild<QWidget*>("guide0")->geometry().top() + kGrab;
      QVERIFY(std::abs(guideTop - guideAt) <= 1);
      // the overlay: the canvas shows the work bitmap's pixel under a point
      const QImage shot = canvas->grab().toImage();
      // the work pixel under the canvas's middle, probed at its own middle
      const QPointF middle = canvas->ToWork(QPointF(canvas->width(), canvas->height()) / 2);
      const QPointF workPoint(std::clamp(std::floor(middle.x()), 0.0, work.width() - 1.0),
                              std::clamp(std::floor(middle.y()), 0.0, work.height() - 1.0));
      // (in the shot's own pixels, which may be more than the widget's)
      const QPoint screen =
          (canvas->ToScreen(workPoint + QPointF(0.5, 0.5)) * shot.devicePixelRatio()).toPoint();
      QVERIFY(QRect(QPoint(), shot.size()).contains(screen));
      const auto pixel = window->Document().WorkBitmap().GetPixel(static_cast<int>(workPoint.x()),
                                                                  static_cast<int>(workPoint.y()));
      const QColor shown = shot.pixelColor(screen);
      QVERIFY2(std::abs(shown.red() - pixel.r) <= 2 && std::abs(shown.blue() - pixel.b) <= 2,
               qPrintable(QString("zoom %1").arg(zoom)));
    }
  }

  void beyondTheWorkBitmapThePhotoItselfIsDrawn() {
    // The edge at photo column 601 falls inside a work pixel (scale 0.5).
    AddEdgePhoto("edge.png", 1200, 900, 601);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    const QImage shot = ZoomedShot(601, 300);
    QVERIFY(canvas->DrewPhoto());
    auto shown = [&](double px) {
      const QPointF at = canvas->ToScreen({px * s, 300 * s}) * shot.devicePixelRatio();
      return shot.pixelColor(at.toPoint());
    };
    QCOMPARE(shown(600.5), QColor(255, 0, 0));
    QCOMPARE(shown(601.5), QColor(0, 0, 255));
    // panning with the middle button moves the picture with the pointer
    // and decodes nothing again
    const QPointF before = canvas->ToScreen({601 * s, 300 * s});
    Press(Area().pboxDrag, {60, 60}, Qt::MiddleButton);
    Mouse(Area().pboxDrag, QEvent::MouseMove, {20, 40}, Qt::NoButton, Qt::MiddleButton);
    Mouse(Area().pboxDrag, QEvent::MouseButtonRelease, {20, 40}, Qt::MiddleButton, Qt::NoButton);
    canvas->grab();
    QCOMPARE(canvas->Levels.Pending(), 0);
    QVERIFY(canvas->DrewPhoto());
    QCOMPARE(canvas->ToScreen({601 * s, 300 * s}), before + QPointF(-40, -20));
    // space held with the left button pans too, through the window: over
    // a guide, while a toggle has the focus, which the key does not click
    window->Document().AddGuide(
        kalvane::TGuideShape::kVertical,
        Area().ImageArea().RelX(Area().pboxDrag->mapTo(&Area(), QPoint(60, 60)).x()));
    window->Document().MarkSaved();
    auto* toggle = window->findChild<QAbstractButton*>("btnTrimShow");
    toggle->setFocus();
    const QPoint start = Area().pboxDrag->mapTo(window.get(), QPoint(60, 60));
    QCursor::setPos(window->mapToGlobal(start));
    QTest::keyPress(toggle, Qt::Key_Space);
    QWindow* handle = window->windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(10, 30));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(10, 30));
    QTest::keyRelease(toggle, Qt::Key_Space);
    QCOMPARE(canvas->ToScreen({601 * s, 300 * s}), before + QPointF(-30, 10));
    QVERIFY(window->Document().IsSaved());  // the guide was not moved
    QVERIFY(toggle->isChecked());
    // with the pointer elsewhere the focused toggle takes its key
    QCursor::setPos(toggle->mapToGlobal(toggle->rect().center()));
    QTest::keyClick(toggle, Qt::Key_Space);
    QVERIFY(!toggle->isChecked());
  }

  void theZoomedMonochromeViewIsMadeFromThePhotos() {
    // Edges at photo columns 601 and 603, both inside work pixels.
    AddEdgePhoto("a.png", 1200, 900, 601);
    AddEdgePhoto("b.png", 1200, 900, 603);
    Items().SelectIndex(1);
    QTest::mouseClick(window->findChild<QAbstractButton*>("btnLayerMono"), Qt::LeftButton);
    QCOMPARE(Items().GetMonoMode(), 1);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    const QImage shot = ZoomedShot(602, 300);
    QVERIFY(canvas->DrewPhoto());
    // What the monochrome rules give for one pixel of each photo.
    auto mono = [](QColor c) {
      kalvane::TBitmap24 pixel(1, 1);
      pixel.Fill(static_cast<std::uint8_t>(c.blue()), static_cast<std::uint8_t>(c.green()),
                 static_cast<std::uint8_t>(c.red()));
      kalvane::TBitmap24 grey = kalvane::IKSetGray(pixel);
      kalvane::LightenMono(grey);
      return grey;
    };
    const double density = Items().GetDensity();
    auto expected = [&](QColor other, QColor current) {
      const kalvane::TBitmap24 v = kalvane::ComposeMono({mono(other)}, mono(current), density);
      return QColor(v.Row(0)[2], v.Row(0)[1], v.Row(0)[0]);
    };
    auto shown = [&](double px) {
      const QPointF at = canvas->ToScreen({px * s, 300 * s}) * shot.devicePixelRatio();
      return shot.pixelColor(at.toPoint());
    };
    const QColor red(255, 0, 0), blue(0, 0, 255);
    QCOMPARE(shown(600.5), expected(red, red));
    QCOMPARE(shown(601.5), expected(blue, red));
    QCOMPARE(shown(602.5), expected(blue, red));
    QCOMPARE(shown(603.5), expected(blue, blue));
  }

  void aZoomedMonochromeViewOfAWholeTurnIsStillMadeFromThePhotos() {
    // Twelve photos overlaid (more than a few tiles' worth): every one's
    // edge is where its photo has it, to the photo pixel, not the work
    // bitmap's blocks.
    for (int i = 0; i < 12; ++i)
      AddEdgePhoto("p" + std::to_string(i) + ".png", 1200, 900, i == 0 ? 603 : 601);
    QTest::mouseClick(window->findChild<QAbstractButton*>("btnLayerMono"), Qt::LeftButton);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    const QImage shot = ZoomedShot(602, 300);
    QVERIFY(canvas->DrewPhoto());
    auto shown = [&](double px) {
      const QPointF at = canvas->ToScreen({px * s, 300 * s}) * shot.devicePixelRatio();
      return shot.pixelColor(at.toPoint());
    };
    // Between the edges only the current photo is still red.
    QVERIFY(shown(600.5) != shown(601.5));
    QCOMPARE(shown(601.5), shown(602.5));
    QVERIFY(shown(602.5) != shown(603.5));
  }

  void theZoomedPhotoComesInTilesWithoutSeamsAndPanningBackDecodesNothing() {
    // The edge lies on the boundary of the first two tiles at 1/1.
    const int edge = kalvane::ui::TPhotoLevels::kTile;
    AddEdgePhoto("edge.png", 1200, 900, edge);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    QImage shot = ZoomedShot(edge, 500);
    QVERIFY(canvas->DrewPhoto());
    const int tiles = canvas->Levels.Made();
    QCOMPARE(tiles, 4);  // the view meets two columns and two rows of tiles
    auto shown = [&](double px, double py) {
      const QPointF at = canvas->ToScreen({px * s, py * s}) * shot.devicePixelRatio();
      if (!shot.rect().contains(at.toPoint())) return QColor();  // off the canvas
      return shot.pixelColor(at.toPoint());
    };
    // every screen column either side of the seam shows its photo pixel
    for (double px = edge - 3 + 0.125; px < edge + 3; px += 0.25) {
      QCOMPARE(shown(px, 470.5), px < edge ? QColor(255, 0, 0) : QColor(0, 0, 255));
      QCOMPARE(shown(px, 520.5), px < edge ? QColor(255, 0, 0) : QColor(0, 0, 255));
    }
    // panned far right (new tiles are made) and back: nothing again
    auto pan = [&](int dx) {
      for (int i = 0; i < 8; ++i) {
        Press(Area().pboxDrag, {300, 60}, Qt::MiddleButton);
        Mouse(Area().pboxDrag, QEvent::MouseMove, {300 + dx, 60}, Qt::NoButton, Qt::MiddleButton);
        Mouse(Area().pboxDrag, QEvent::MouseButtonRelease, {300 + dx, 60}, Qt::MiddleButton,
              Qt::NoButton);
        canvas->grab();
      }
    };
    const QPointF before = canvas->ViewOrigin();
    pan(-250);  // 500 photo pixels: the view reaches the third column of tiles
    PumpUntil([canvas] { return canvas->Levels.Pending() == 0; });
    const int away = canvas->Levels.Made();
    QVERIFY(away > tiles);
    pan(250);
    QCOMPARE(canvas->ViewOrigin(), before);
    QCOMPARE(canvas->Levels.Pending(), 0);
    QCOMPARE(canvas->Levels.Made(), away);
    shot = canvas->grab().toImage();
    QVERIFY(canvas->DrewPhoto());
    QCOMPARE(shown(edge - 0.5, 470.5), QColor(255, 0, 0));
    QCOMPARE(shown(edge + 0.5, 470.5), QColor(0, 0, 255));
  }

  void aQuarterTurnedPhotoIsTiledTurnedAsTheWorkBitmap() {
    AddEdgePhoto("edge.png", 1200, 900, 601);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);  // a quarter to the left
    QCOMPARE(Items().GetRotation() % 9000, 0);
    QVERIFY(Items().GetRotation() != 0);
    kalvane::ui::TCanvas* canvas = Area().pboxMain;
    const double s = canvas->ItemScale();
    // The edge now runs across, 601 photo pixels from one end.
    const QSize work = canvas->WorkSize();
    const bool across = work.width() < work.height();
    QVERIFY(across);
    const auto& bitmap = window->Document().WorkBitmap();
    const auto far = [&](double py) {
      const auto p = bitmap.GetPixel(static_cast<int>(300 * s), static_cast<int>(py * s));
      return QColor(p.r, p.g, p.b);
    };
    // Turned to the left, photo column x lies on row 1199 - x: red from
    // row 599 down; turned to the right, on row x: red above row 601.
    const double at = far(620) == QColor(255, 0, 0) ? 599 : 601;
    Area().SetZoom(4, canvas->ToScreen({300 * s, at * s}));
    canvas->grab();
    PumpUntil([canvas] { return canvas->Levels.Pending() == 0; });
    const QImage shot = canvas->grab().toImage();
    QVERIFY(canvas->DrewPhoto());
    auto shown = [&](double py) {
      const QPointF p = canvas->ToScreen({300.5 * s, py * s}) * shot.devicePixelRatio();
      return shot.pixelColor(p.toPoint());
    };
    QCOMPARE(shown(at - 10), far(at - 10));
    QCOMPARE(shown(at + 10), far(at + 10));
    // sharp at the edge: neighbouring photo rows, pure colours
    QCOMPARE(shown(at - 0.5), far(at - 10));
    QCOMPARE(shown(at + 0.5), far(at + 10));
    QVERIFY(far(at - 10) != far(at + 10));
  }

  void theStatusShowsTheBoxInTheExportsPixels() {
    AddEdgePhoto("edge.png", 1200, 900, 601);
    auto* status = window->findChild<QLabel*>("lblWorkStatus");
    kalvane::TProjectDocument& doc = window->Document();
    auto output = [status] {
      const QString text = status->text();
      return text.mid(text.indexOf(QString::fromUtf8("出力"))).section(QString("   "), 0, 0);
    };
    // half the photo each way: 600 x 450 photo pixels, at the first width 500
    doc.SetBox({0.25, 0.25, 0.75, 0.75});
    QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(output(), QString::fromUtf8("出力 500 × 375 px"));
    // the width confirmed for an export (here one cancelled at its file)
    // is the one shown from then on; a cancelled width dialog keeps it
    auto* pcExport = window->findChild<QAbstractButton*>("btnFlashExport");
    dialogs->Widths = {1000};
    QTest::mouseClick(pcExport, Qt::LeftButton);
    QCOMPARE(dialogs->Count("width"), 1);
    QCOMPARE(output(), QString::fromUtf8("出力 1000 × 750 px"));
    QTest::mouseClick(pcExport, Qt::LeftButton);
    QCOMPARE(output(), QString::fromUtf8("出力 1000 × 750 px"));
    // a tall box at the largest width meets the side limit as the export does
    doc.SetBox({0.25, 0.0, 0.5, 1.0});  // 300 x 900 photo pixels
    dialogs->Widths = {2500};
    QTest::mouseClick(pcExport, Qt::LeftButton);
    QCOMPARE(output(), QString::fromUtf8("出力 833 × 2500 px"));
    // a corner dragged with the mouse: the line follows the box
    doc.SetBox({0.25, 0.25, 0.75, 0.75});
    dialogs->Widths = {500};
    QTest::mouseClick(pcExport, Qt::LeftButton);
    QCOMPARE(output(), QString::fromUtf8("出力 500 × 375 px"));
    auto* corner = Area().findChild<QWidget*>("CornerItem2");
    Press(corner, {4, 4});
    Move(corner, {4, 44});
    Area().BoxTool().Tick();
    Release(corner, {4, 44});
    const kalvane::TRelBox moved = doc.TrimRelBox();
    QVERIFY(moved.p2y > 0.75);
    const double tall = (moved.p2y - moved.p1y) * 900 / ((moved.p2x - moved.p1x) * 1200);
    const QStringList parts = output().split(' ');
    QCOMPARE(parts.size(), 5);
    QCOMPARE(parts[1], QString("500"));
    QVERIFY2(std::abs(parts[3].toInt() - 500 * tall) <= 1, qPrintable(output()));
  }

  void theWheelScrollsTheListUnlessTheBarHasTheFocus() {
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i)
      names.push_back("w" + std::to_string(i) + ".png");
    Add(names, 40, 30);
    QScrollBar* bar = window->LayerList().scrLayerList->verticalScrollBar();
    bar->setValue(0);
    QWheelEvent towards({50, 50}, {50, 50}, {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window.get(), &towards);
    QCOMPARE(bar->value(), bar->singleStep());
    kalvane::test::Click(
        window->findChild<QAbstractButton*>("btnLayerMono"));  // the bar takes the focus
    const int before = bar->value();
    QCoreApplication::sendEvent(window.get(), &towards);
    QCOMPARE(bar->value(), before);
  }
};

KALVANE_UI_TEST_MAIN(WorkAreaTest)

#include "WorkAreaTest.moc"
