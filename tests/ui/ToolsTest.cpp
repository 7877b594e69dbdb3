// The box and guide tools of the work area, driven by real mouse events on a
// work area of its own: where a drag may take a handle or a guide, and that
// its end is the document's. The image area lies at (28, 28), 297 pixels
// square, on a panel of 444 x 331. The document has no items: whether a
// change was recorded shows in its history alone.
#include <QTest>

#include "UiTest.h"
#include "project/ProjectDocument.h"
#include "ui/BoxTool.h"
#include "ui/GuideTool.h"
#include "ui/WorkArea.h"

using kalvane::test::Mouse;
using kalvane::test::Move;
using kalvane::test::Press;
using kalvane::test::Release;
using kalvane::ui::TScreenBox;

class ToolsTest : public QObject {
  Q_OBJECT

 private:
  QWidget* Widget(const char* name) { return area->findChild<QWidget*>(name); }
  // Events at a point of the panel, in the widget's own pixels as they
  // reach it.
  void At(QEvent::Type type, QWidget* w, QPoint panel, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint p = panel - w->pos();
    if (type == QEvent::MouseButtonPress) Press(w, p, button);
    if (type == QEvent::MouseMove) Move(w, p);
    if (type == QEvent::MouseButtonRelease) Mouse(w, type, p, button, Qt::NoButton);
  }
  // A box handle pressed at its top-left plus (2, 2), moved by (dx, dy)
  // and one tick of the repeat timer; the release is left to the test.
  void Drag(const char* handle, int dx, int dy) {
    QWidget* w = Widget(handle);
    const QPoint at = w->pos() + QPoint(2, 2);
    At(QEvent::MouseButtonPress, w, at);
    At(QEvent::MouseMove, w, at + QPoint(dx, dy));
    area->BoxTool().Tick();
  }
  TScreenBox Box() { return area->BoxTool().ScreenBox(); }
  // A guide line's place across it.
  int LineAt(const char* name, bool horizontal) {
    const QRect g = Widget(name)->geometry();
    return (horizontal ? g.top() : g.left()) + kalvane::ui::TGuideTool::kGrab;
  }

  std::unique_ptr<kalvane::TProjectDocument> document;
  std::unique_ptr<kalvane::TViewState> view;
  std::unique_ptr<kalvane::ui::TWorkArea> area;

 private slots:
  void init() {
    document = std::make_unique<kalvane::TProjectDocument>();
    view = std::make_unique<kalvane::TViewState>();
    area = std::make_unique<kalvane::ui::TWorkArea>(*document, *view, nullptr);
    area->resize(444, 331);
    area->show();
    area->pboxMain->grab();
    QCOMPARE(area->ImageArea().Size, QSize(297, 297));
    QCOMPARE(Box(), (TScreenBox{43, 43, 310, 310}));
  }
  void cleanup() {
    area.reset();
    view.reset();
    document.reset();
  }

  void aCornerStaysInsideTheAreaAndSixtyPixelsFromTheOppositeOne() {
    Drag("CornerItem2", 1000, 1000);
    QCOMPARE(Box(), (TScreenBox{43, 43, 28 + 297 - 13 + 4, 28 + 297 - 19 + 4}));
    QVERIFY(document->History().AtSavePoint());  // only shown while it is dragged
    At(QEvent::MouseButtonRelease, Widget("CornerItem2"), {0, 0});
    QVERIFY(!document->History().AtSavePoint() && !area->Dragging());
    QCOMPARE(document->TrimRelBox().p2x, (316 - 28) / 297.0);
    Drag("CornerItem0", 1000, 1000);
    QCOMPARE(Box(), (TScreenBox{316 - 60 + 4, 310 - 60 + 4, 316, 310}));
    At(QEvent::MouseButtonRelease, Widget("CornerItem0"), {0, 0});
    Drag("CornerItem0", -1000, -1000);
    QCOMPARE(Box().x1, 28 + 5 + 4);
  }

  void theBoxFollowsOnlyOnTicksAndOnlyTheLeftButtonEndsTheDrag() {
    QWidget* corner = Widget("CornerItem1");
    const QPoint at = corner->pos() + QPoint(2, 2);
    At(QEvent::MouseButtonPress, corner, at);
    At(QEvent::MouseMove, corner, at - QPoint(10, 0));
    QCOMPARE(Box().x2, 310);  // not yet
    area->BoxTool().Tick();
    QCOMPARE(Box().x2, 300);
    At(QEvent::MouseButtonRelease, corner, at, Qt::RightButton);
    QVERIFY(area->Dragging());
    At(QEvent::MouseButtonRelease, corner, at);
    QVERIFY(!area->Dragging());
  }

  void movingKeepsTheSizeAndStopsAtTheEdges() {
    Drag("MoveHandle", -1000, -1000);
    QCOMPARE(Box(), (TScreenBox{33, 33, 33 + 267, 33 + 267}));
    At(QEvent::MouseButtonRelease, Widget("MoveHandle"), {0, 0});
    QCOMPARE(Widget("MoveHandle")->y(), Box().y2 + 1);  // under the moved box again
    // the handle's own limits stop the box before the box's own do
    Drag("MoveHandle", 1000, 1000);
    area->BoxTool().Tick();
    QCOMPARE(Box().x2, 28 + 297 - 9);
    QCOMPARE(Box().y2, 28 + 297 - 15);
    QCOMPARE(Box().x2 - Box().x1, 267);
  }

  void aLockEndsABoxDragAsAReleaseWould() {
    Drag("CornerItem0", 20, 20);
    view->BoxLocked = true;
    area->SyncControls();
    QVERIFY(!area->Dragging());
    QCOMPARE(Box().x1, 63);
    QVERIFY(!document->History().AtSavePoint());  // set where the lock found it
    view->BoxLocked = false;
    At(QEvent::MouseMove, Widget("CornerItem0"), {200, 200});
    area->BoxTool().Tick();
    QCOMPARE(Box().x1, 63);  // the drag is over
    view->BoxLocked = true;
    Drag("MoveHandle", 5, 5);
    QVERIFY(!area->Dragging());
  }

  void aGuideDraggedOntoTheRulerIsDeletedAndOneThreeAboveStays() {
    document->AddGuide(1, 0.5);
    area->SyncControls();
    QWidget* line = Widget("guide0");
    const QPoint at = line->geometry().center();
    At(QEvent::MouseButtonPress, line, at);
    At(QEvent::MouseMove, line, {at.x(), 25});
    QCOMPARE(LineAt("guide0", true), 25);  // 3 above the image area
    At(QEvent::MouseButtonRelease, line, {at.x(), 25});
    QCOMPARE(document->GuideLines().GetGuide(0)->GetRelPos(), -3.0 / 297);
    // the lower limit: the panel's height less the line's
    At(QEvent::MouseButtonPress, line, line->geometry().center());
    At(QEvent::MouseMove, line, {at.x(), 5000});
    QCOMPARE(LineAt("guide0", true), 330);
    At(QEvent::MouseMove, line, {at.x(), -1000});
    QCOMPARE(LineAt("guide0", true), 1);  // at least its own pixel
    At(QEvent::MouseButtonRelease, line, {at.x(), -1000});
    QCOMPARE(document->GuideLines().Count(), 0);
  }

  void aLockedGuideStaysAndALockEndsADragWhereTheGuideIs() {
    document->AddGuide(0, 0.5);
    area->SyncControls();
    QWidget* line = Widget("guide0");
    const QPoint at = line->geometry().center();
    At(QEvent::MouseButtonPress, line, at);
    At(QEvent::MouseMove, line, at - QPoint(150, 0));  // over the left ruler
    view->GuidesLocked = true;
    area->SyncControls();
    QVERIFY(!area->Dragging());
    QCOMPARE(document->GuideLines().Count(), 1);  // not dropped: no release came
    const double kept = document->GuideLines().GetGuide(0)->GetRelPos();
    At(QEvent::MouseButtonPress, line, line->geometry().center());
    At(QEvent::MouseMove, line, {300, 100});
    At(QEvent::MouseButtonRelease, line, {300, 100});
    QCOMPARE(document->GuideLines().GetGuide(0)->GetRelPos(), kept);
  }

  void aRulerPullsANewGuideStepByStep() {
    QWidget* top = area->shpHoGuide;
    At(QEvent::MouseButtonPress, top, {60, 13});
    QCOMPARE(LineAt("guide0", true), 13);
    At(QEvent::MouseMove, top, {60, -40});  // held at the panel's top
    At(QEvent::MouseMove, top, {60, 10});   // and on from there
    QCOMPARE(LineAt("guide0", true), 51);
    At(QEvent::MouseButtonRelease, top, {60, 10});
    QCOMPARE(document->GuideLines().Count(), 1);
    QCOMPARE(document->GuideLines().GetGuide(0)->GetRelPos(), (51.0 - 28) / 297);
    // the left ruler: dropped where it was pulled, still over the ruler
    At(QEvent::MouseButtonPress, area->shpVerGuide, {6, 60});
    At(QEvent::MouseButtonRelease, area->shpVerGuide, {6, 60});
    QCOMPARE(document->GuideLines().Count(), 1);
    // nothing for other buttons, hidden or locked guides
    At(QEvent::MouseButtonPress, top, {60, 13}, Qt::RightButton);
    area->GuideTool().SetShown(false);
    At(QEvent::MouseButtonPress, top, {60, 13});
    area->GuideTool().SetShown(true);
    view->GuidesLocked = true;
    At(QEvent::MouseButtonPress, top, {60, 13});
    QVERIFY(!area->Dragging());
  }
};

KALVANE_UI_TEST_MAIN(ToolsTest)
#include "ToolsTest.moc"
