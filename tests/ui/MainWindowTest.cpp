#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "base/AppUtil.h"
#include "base/Texts.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/QtDialogs.h"
#include "ui/SwfExportDialog.h"
#include "ui/Texts.h"
#include "ui/Wording.h"
#include "ui/WorkArea.h"

using C = kalvane::TCommandId;
using kalvane::TErrorCode;
using kalvane::test::PumpUntil;
using kalvane::test::TScriptedWindowDialogs;
using kalvane::ui::TAnswer;
using kalvane::ui::TfrmMain;
namespace fs = std::filesystem;

namespace {}  // namespace

class MainWindowTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  std::string Photo(const std::string& name, int w = 40, int h = 30) {
    const std::string path = dir->File(name);
    fs::create_directories(fs::path(path).parent_path());
    kalvane::test::WriteSolid(path, w, h, 120, 120, 120);
    return path;
  }
  template <typename T = QWidget>
  T* Find(const char* name) {
    T* control = window->findChild<T*>(name);
    if (!control) qFatal("no control %s", name);
    return control;
  }
  bool Enabled(C id) { return window->Action(id).isEnabled(); }
  void Trigger(C id) { window->Action(id).trigger(); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    auto& items = window->Document().LayerItems();
    for (int i = 0; i < items.Count(); ++i)
      names.push_back(items.GetItem(i)->GetItemName());
    return names;
  }
  void Add(std::vector<std::string> files) {
    dialogs->Images.push_back(std::move(files));
    Trigger(C::AddImages);
    WaitForLoader();
  }
  std::string Project(const std::vector<std::string>& paths) {
    std::string text = "[project]\nitemCount=" + std::to_string(paths.size()) + "\n";
    for (std::size_t i = 0; i < paths.size(); ++i)
      text += "[projectItem" + std::to_string(i) + "]\nname=" + paths[i] + "\nx=3\ny=-2\n";
    const std::string path = dir->File("p.vpj");
    std::ofstream(path) << text;
    return path;
  }

 private slots:
  void init() { Open(false); }
  void cleanup() { Close(); }

  void startsEmptyWithItemCommandsOff() {
    QCOMPARE(window->windowTitle(), QString("Kalvane "));
    for (C id :
         {C::ExportPc, C::DeleteItem, C::SaveAs, C::WorkMenu, C::Mono, C::HtmlPreview, C::Save})
      QVERIFY2(!Enabled(id), std::to_string(static_cast<int>(id)).c_str());
    for (C id : {C::OpenProject, C::AddImages, C::ConvertTool})
      QVERIFY2(Enabled(id), std::to_string(static_cast<int>(id)).c_str());
    for (C id : {C::ImageLock, C::TrimShow, C::GuideShow})
      QVERIFY(window->Action(id).isChecked());
    QVERIFY(!window->Action(C::TrimLock).isChecked());
    // Each button is its command's action: enabled, checked and run with it.
    const std::pair<const char*, C> buttons[] = {{"btnNewProject", C::NewProject},
                                                 {"btnProjectOpen", C::OpenProject},
                                                 {"btnSave", C::Save},
                                                 {"btnSaveAs", C::SaveAs},
                                                 {"btnFlashExport", C::ExportPc},
                                                 {"btnDesignExport", C::ExportDesign},
                                                 {"btnMFlashExport", C::ExportMobile},
                                                 {"btnHTMLPreview", C::HtmlPreview},
                                                 {"btnPreview", C::Preview},
                                                 {"btnLayerNew", C::AddImages},
                                                 {"btnLayerTrash", C::DeleteItem},
                                                 {"btnLayerTrashAll", C::DeleteAll},
                                                 {"btnLayerUp", C::MoveUp},
                                                 {"btnLayerDown", C::MoveDown},
                                                 {"btnLayerReverse", C::Reverse},
                                                 {"btnLayerRotate1", C::RotateLeft},
                                                 {"btnLayerRotate2", C::RotateRight},
                                                 {"btnLayerMono", C::Mono},
                                                 {"btnAllVisible", C::AllVisible},
                                                 {"btnAllUnVisible", C::AllUnVisible},
                                                 {"btnNeighboursVisible", C::NeighboursVisible},
                                                 {"btnImageLock", C::ImageLock},
                                                 {"btnTrimShow", C::TrimShow},
                                                 {"btnTrimLock", C::TrimLock},
                                                 {"btnGuideShow", C::GuideShow},
                                                 {"btnGuideLock", C::GuideLock}};
    for (const auto& [name, id] : buttons)
      QVERIFY2(Find<QToolButton>(name)->defaultAction() == &window->Action(id), name);
    QCOMPARE(Find<QSlider>("tBarNoudo")->value(), 30);
    QVERIFY(Find("tBarNoudo")->isHidden());
    QVERIFY(window->Document().IsSaved());
  }

  void addsSortedIntoAnEmptyProjectAndReversedAfterTheCurrentItem() {
    Add({Photo("p/c.png"), Photo("p/a.png"), Photo("p/B.png")});
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "B.png", "c.png"}));
    QVERIFY(!window->Document().IsSaved());
    QVERIFY(Enabled(C::ExportPc) && Enabled(C::Save) && Enabled(C::WorkMenu));
    window->Document().LayerItems().SelectIndex(1);
    // Numbers by value, letters without case, as kalvane-cli orders them.
    Add({Photo("q/x10.png"), Photo("q/X9.png")});
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "B.png", "X9.png", "x10.png", "c.png"}));
    QVERIFY(window->isEnabled());
    // the item list panel shows one row per item, named by a counter
    auto* panel = Find<kalvane::ui::TflmLayerList>("flmLayer");
    QCOMPARE(panel->RowCount(), 5);
    QCOMPARE(panel->Row(0)->objectName(), QString("layerAbsolute0"));
    QCOMPARE(panel->Row(1)->GetRowItemName(), std::string("B.png"));
  }

  void deletesWithTheirSavedStates() {
    Add({Photo("a.png"), Photo("b.png"), Photo("c.png")});
    dialogs->OkCancel = {false, true};
    Trigger(C::DeleteItem);  // cancelled
    QCOMPARE(window->Document().LayerItems().Count(), 3);
    Trigger(C::DeleteItem);
    QCOMPARE(window->Document().LayerItems().Count(), 2);
    QVERIFY(!window->Document().IsSaved());
    QCOMPARE(dialogs->Log.back(), "okcancel:確認:アクティブアイテムを削除します。よろしいですか？");
    dialogs->OkCancel = {true};
    Trigger(C::DeleteAll);
    QCOMPARE(window->Document().LayerItems().Count(), 0);
    QVERIFY(window->Document().IsSaved());  // so closing asks nothing
    QVERIFY(!Enabled(C::DeleteItem));
    QVERIFY(window->close());
    QCOMPARE(dialogs->Count("yesnocancel"), 0);
  }

  void ordersAndTurnsMarkModified() {
    Add({Photo("a.png"), Photo("b.png")});
    window->Document().MarkSaved();
    Trigger(C::MoveUp);  // up on the first item: nothing moves, still modified
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "b.png"}));
    QVERIFY(!window->Document().IsSaved());
    for (int i = 0; i < 4; ++i)
      Trigger(C::RotateLeft);
    QCOMPARE(window->Document().LayerItems().GetRotation(), 36000);
    Trigger(C::RotateRight);
    QCOMPARE(window->Document().LayerItems().GetRotation(), 27000);
    Trigger(C::Reverse);
    QCOMPARE(Names(), (std::vector<std::string>{"b.png", "a.png"}));
  }

  void monochromeModeShowsAndEnablesItsControls() {
    Add({Photo("a.png"), Photo("b.png")});
    kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
    QCOMPARE(window->Document().LayerItems().GetMonoMode(), 1);
    QVERIFY(!Find("btnAllVisible")->isHidden() && !Find("tBarNoudo")->isHidden());
    QVERIFY(Enabled(C::AllVisible) && Enabled(C::AllUnVisible));
    QVERIFY(window->Action(C::Mono).isChecked());
    Trigger(C::Mono);  // the menu item flips the button
    QVERIFY(!window->Action(C::Mono).isChecked());
    QCOMPARE(window->Document().LayerItems().GetMonoMode(), 0);
    QVERIFY(Find("btnAllVisible")->isHidden());
    QVERIFY(!Enabled(C::AllVisible));
    QVERIFY(window->Document().IsSaved() == false);  // from the adding, not the mode
  }

  void theStatusLineSaysWhereTheArrowKeysGo() {
    window->resize(900, 700);
    window->show();
    Add({Photo("a.png", 400, 300), Photo("b.png", 400, 300)});
    auto status = [this] { return Find<QLabel>("lblWorkStatus")->text(); };
    QVERIFY(status().contains("画像ロック中"));
    // A row clicked: the keys step through the list.
    auto* panel = Find<kalvane::ui::TflmLayerList>("flmLayer");
    kalvane::test::Press(panel->Row(1), {20, 20});
    QVERIFY2(status().contains("前後の写真へ"), qPrintable(status()));
    // Unlocked to move the photo: the keys nudge it, by the step shown.
    kalvane::test::Click(Find<QAbstractButton>("btnImageLock"));
    QVERIFY2(status().contains("画素ずつ移動"), qPrintable(status()));
    auto& items = window->Document().LayerItems();
    const double before = items.GetSelected()->GetFineOffset().X;
    QTest::keyClick(window.get(), Qt::Key_Right);
    QVERIFY(std::abs(items.GetSelected()->GetFineOffset().X - before -
                     window->Workarea().NudgeStep()) < 1e-9);
  }

  void aRowDraggedInTheListMovesItsPhotoInOneStep() {
    window->resize(900, 700);
    window->show();
    Add({Photo("a.png"), Photo("b.png"), Photo("c.png"), Photo("d.png")});
    auto* panel = Find<kalvane::ui::TflmLayerList>("flmLayer");
    const int steps = window->UndoStack().count();
    // a.png pressed on its thumbnail, pulled down past c.png's middle, let go
    QWidget* thumb = panel->Row(0)->childAt(30, 40);
    QVERIFY(thumb);
    const QPoint start = thumb->mapFromGlobal(panel->Row(0)->mapToGlobal(QPoint(30, 40)));
    kalvane::test::Press(thumb, start);
    const int rowHeight = kalvane::ui::TflmLayerList::kRowHeight;
    for (int y = 10; y <= 2 * rowHeight + 20; y += 30)
      kalvane::test::Move(thumb, start + QPoint(0, y));
    QVERIFY(Find("shpDropMarker")->isVisible());
    kalvane::test::Release(thumb, start + QPoint(0, 2 * rowHeight + 20));
    QVERIFY(!Find("shpDropMarker")->isVisible());
    QCOMPARE(Names(), (std::vector<std::string>{"b.png", "c.png", "a.png", "d.png"}));
    QCOMPARE(window->UndoStack().count(), steps + 1);
    Trigger(C::Undo);
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "b.png", "c.png", "d.png"}));
    // A click without a pull moves nothing.
    kalvane::test::Press(thumb, start);
    kalvane::test::Release(thumb, start);
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "b.png", "c.png", "d.png"}));
  }

  void theOverlaysChoiceOutlastsTheModeAndCanBeTheNeighboursOnly() {
    Add({Photo("a.png"), Photo("b.png"), Photo("c.png"), Photo("d.png")});
    auto& items = window->Document().LayerItems();
    auto shown = [&] {
      std::string s;
      for (int i = 0; i < items.Count(); ++i)
        s += items.GetItem(i)->GetMonoVisible() ? '1' : '0';
      return s;
    };
    items.SelectIndex(1);
    kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
    QVERIFY(!Find("btnNeighboursVisible")->isHidden() && Enabled(C::NeighboursVisible));
    kalvane::test::Click(Find<QAbstractButton>("btnNeighboursVisible"));
    QCOMPARE(shown(), std::string("1010"));
    // Off and on, from the button and from the menu: the choice stays.
    kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
    kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
    Trigger(C::Mono);
    Trigger(C::Mono);
    QCOMPARE(items.GetMonoMode(), 1);
    QCOMPARE(shown(), std::string("1010"));
  }

  void savesAndAsksOnClose() {
    Add({Photo("a.png")});
    const std::string path = dir->File("cup.vpj");
    dialogs->SaveFiles = {path};
    Trigger(C::Save);
    QVERIFY(fs::exists(path));
    QVERIFY(window->Document().IsSaved());
    QCOMPARE(window->windowTitle(), QString::fromStdString("Kalvane (" + path + ")"));
    Trigger(C::Reverse);  // modified
    dialogs->SaveFiles = {dir->File("other.vpj")};
    Trigger(C::SaveAs);  // save as keeps the state
    QVERIFY(!window->Document().IsSaved());
    dialogs->YesNoCancel = {TAnswer::Cancel, TAnswer::Yes, TAnswer::No};
    QVERIFY(!window->close());
    // Yes saves to the project's file, which now exists: no dialog
    QVERIFY(window->close());
    QVERIFY(window->Document().IsSaved());
    QVERIFY(fs::exists(dir->File("velinit")));  // settings written on every close
  }

  void aWriteProtectedProjectIsReplacedOnlyWhenTheUserAgrees() {
    Add({Photo("a.png")});
    const std::string path = dir->File("locked.vpj");
    std::ofstream(path) << "kept";
    fs::permissions(path, fs::perms(0444));
    const std::string question = std::string("yesno:") + kalvane::kQuestionCaption + ":" +
                                 kalvane::ui::kAskReplaceReadOnly + "\r" + path;
    const int asked = dialogs->Count("yesno:");
    dialogs->SaveFiles = {path, path};
    dialogs->YesNo = {false};
    Trigger(C::SaveAs);  // save as: asked, declined, nothing written, no error
    QCOMPARE(dialogs->Count("yesno:"), asked + 1);
    QCOMPARE(dialogs->Log.back(), question);
    QCOMPARE(kalvane::test::ReadText(path), std::string("kept"));
    QCOMPARE(dialogs->Count("error:"), 0);
    QVERIFY(!window->Document().IsSaved());
    QCOMPARE(window->windowTitle(), QString("Kalvane "));

    dialogs->YesNo = {true};
    QTest::mouseClick(Find<QAbstractButton>("btnSave"), Qt::LeftButton);  // asked, agreed
    QCOMPARE(dialogs->Count("yesno:"), asked + 2);
    QCOMPARE(dialogs->Log.back(), question);
    QVERIFY(kalvane::test::ReadText(path).rfind("[project]", 0) == 0);
    QCOMPARE(fs::status(path).permissions(), fs::perms(0444));  // still protected
    QVERIFY(window->Document().IsSaved());
  }

  void yesWithACancelledSaveDialogKeepsTheWindow() {
    Add({Photo("a.png")});
    dialogs->YesNoCancel = {TAnswer::Yes};
    QVERIFY(!window->close());
    QCOMPARE(dialogs->Count("save:"), 1);
    QVERIFY(fs::exists(dir->File("velinit")));
  }

  void newAndOpenAskOnlyWhenTheyWouldLoseWork() {
    Trigger(C::NewProject);  // empty: nothing asked
    QCOMPARE(dialogs->Count("okcancel"), 0);
    Add({Photo("a.png")});
    window->Document().MarkSaved();
    dialogs->Projects = {std::nullopt};
    Trigger(C::OpenProject);  // saved: no question, the dialog cancelled
    QCOMPARE(dialogs->Count("okcancel"), 0);
    QCOMPARE(window->Document().LayerItems().Count(), 1);
    Trigger(C::Reverse);
    dialogs->OkCancel = {false};
    Trigger(C::OpenProject);  // modified: asked, declined
    QCOMPARE(dialogs->Count("okcancel"), 1);
    QCOMPARE(dialogs->Count("project:"), 1);
    dialogs->OkCancel = {true};
    Trigger(C::NewProject);  // modified: asked, and empties
    QCOMPARE(dialogs->Count("okcancel"), 2);
    QCOMPARE(window->Document().LayerItems().Count(), 0);
    QVERIFY(window->Document().IsSaved());
    Add({Photo("b.png")});
    window->Document().MarkSaved();
    Trigger(C::NewProject);  // saved: nothing asked
    QCOMPARE(dialogs->Count("okcancel"), 2);
    QCOMPARE(window->Document().LayerItems().Count(), 0);
  }

  void aMovedPhotoIsFoundThroughTheDialogs() {
    const std::string a = Photo("moved/a.png"), b = Photo("moved/b.png");
    const std::string project = Project({"C:\\old\\a.png", "C:\\old\\b.png"});
    dialogs->Files = {a};
    dialogs->YesNo = {true};
    window->OpenProject(project, true);
    WaitForLoader();
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "b.png"}));
    QCOMPARE(window->Document().LayerItems().GetItem(1)->GetFileName(), b);
    QVERIFY(!window->Document().IsSaved());  // the new paths need saving
    QCOMPARE(window->windowTitle(), QString::fromStdString("Kalvane (" + project + ")"));
    QVERIFY(window->isEnabled());
  }

  void aCancelledLoadLeavesAnEmptyEnabledWindow() {
    const std::string project = Project({"/gone/a.png", "/gone/b.png"});
    dialogs->Files = {std::nullopt};
    window->OpenProject(project, true);
    WaitForLoader();
    QCOMPARE(window->Document().LayerItems().Count(), 0);
    QCOMPARE(window->windowTitle(), QString("Kalvane "));
    QVERIFY(window->isEnabled());
    QVERIFY(!Enabled(C::ExportPc));
  }

  void theProgressWindowsCancelWorksWhileTheMainWindowIsDisabled() {
    std::vector<std::string> files;
    for (int i = 0; i < 30; ++i)
      files.push_back(Photo("c" + std::to_string(i) + ".png"));
    dialogs->Images.push_back(files);
    Trigger(C::AddImages);
    kalvane::ui::TfrmProgressDialog* progress = nullptr;
    PumpUntil([&] {
      progress = window->findChild<kalvane::ui::TfrmProgressDialog*>("frmProgressDialog");
      return progress && progress->isVisible();
    });
    QVERIFY(!window->isEnabled());
    QVERIFY(progress->btnCancel->isEnabled());
    QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    WaitForLoader();
    QVERIFY(window->Document().LayerItems().Count() < 30);
    QVERIFY(window->isEnabled());

    // Esc in the window does the same.
    QWidget owner;
    kalvane::ui::TExecProgress exec(&owner);
    int cancelled = 0;
    exec.SetOnCancel([&] { ++cancelled; });
    exec.Setup("c", "m", 0, 10);
    exec.ShowProgress();
    QVERIFY(!owner.isEnabled() && exec.Dialog()->isEnabled());
    QTest::keyClick(exec.Dialog(), Qt::Key_Escape);
    QCOMPARE(cancelled, 1);
    exec.HideProgress();
    QVERIFY(owner.isEnabled());
  }

  void aPageNoBrowserOpensIsShownByItsAddress() {
    // No opener on the path: the address comes in a box, its text selectable.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(dir->File("empty")));
    QWidget owner;
    kalvane::ui::TQtDialogs qt(&owner, nullptr);
    qt.OpenDocument("http://127.0.0.1:8123/velzoom.html");
    QMessageBox* box = nullptr;
    PumpUntil([&] { return (box = owner.findChild<QMessageBox*>("msgCannotOpenBrowser")); });
    qputenv("PATH", path);
    QVERIFY(box->text().endsWith("http://127.0.0.1:8123/velzoom.html"));
    QVERIFY(box->textInteractionFlags() & Qt::TextSelectableByMouse);
    box->close();
  }

  void qtsOwnWordsAreJapanese() {
    QVERIFY(kalvane::ui::InstallJapanese(*QCoreApplication::instance()));
    for (const char* english : {"Look in:", "File &name:", "&Open", "Save As"})
      QVERIFY2(QCoreApplication::translate("QFileDialog", english) != english, english);
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QVERIFY(!menu->actions().isEmpty());
    QVERIFY(menu->actions().front()->text() != "&Undo");
    // The core's details are worded for the box.
    QCOMPARE(kalvane::ui::JapaneseMessage(
                 "書き出せませんでした。\r/x/y.swf: cannot create (No such file or directory)"),
             QString::fromUtf8("書き出せませんでした。\n/x/y.swf: 作成できません "
                               "(ファイルまたはフォルダがありません)"));
  }

  void dropsOpenOneProjectOrAddTheImages() {
    const std::string a = Photo("a.png");
    const std::string project = Project({a});
    const std::string upper = dir->File("P.VPJ");
    fs::copy_file(project, upper);
    window->DropFiles({upper});  // not a project by its extension, not an image
    QVERIFY(!window->LoaderRunning());
    QCOMPARE(window->Document().LayerItems().Count(), 0);
    window->DropFiles({project});
    WaitForLoader();
    QCOMPARE(Names(), (std::vector<std::string>{"a.png"}));
    window->DropFiles({project, Photo("b.png"), dir->File("notes.txt"), Photo("c.jpeg")});
    WaitForLoader();
    QCOMPARE(Names(), (std::vector<std::string>{"a.png", "b.png"}));
  }

  void theWidthDialogsRules() {
    kalvane::ui::TfrmSwfExportDialog dialog;
    auto* box = dialog.findChild<QSpinBox*>("edtSwfWidth");
    QCOMPARE(dialog.Width(), 500);
    box->findChild<QLineEdit*>()->setText("3000");
    dialog.btnOKClick();
    QVERIFY(dialog.Confirmed());
    QCOMPARE(dialog.Width(), 2500);
    box->findChild<QLineEdit*>()->setText("abc");
    dialog.btnOKClick();
    QCOMPARE(dialog.Width(), 100);
    box->findChild<QLineEdit*>()->setText("50");
    QTest::keyClick(box, Qt::Key_Return);  // Enter: as typed
    QCOMPARE(dialog.Width(), 50);
    dialog.btnCancelClick();
    QVERIFY(!dialog.Confirmed());
  }

  void theExportTellsFailureAndSuccess() {
    Add({Photo("a.png", 400, 300), Photo("b.png", 400, 300)});
    fs::remove(dir->File("b.png"));
    dialogs->Widths = {300};
    dialogs->SaveFiles = {dir->File("veldata.swf")};
    Trigger(C::ExportPc);
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Count("error:"), 1);
    QCOMPARE(dialogs->Count("inform:"), 0);
    QVERIFY(dialogs->Log.back().find("b.png") != std::string::npos);
    QVERIFY(!fs::exists(dir->File("veldata.swf")));

    Photo("b.png", 400, 300);
    dialogs->Widths = {300};
    dialogs->SaveFiles = {dir->File("veldata.swf")};
    Trigger(C::ExportPc);
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Log.back(), "inform:処理完了:PC用データファイルの書き出しが完了しました");
    QVERIFY(fs::exists(dir->File("veldata.swf")));
    QVERIFY(window->isEnabled());

    dialogs->Widths = {std::nullopt};  // cancelled: nothing written or asked
    Trigger(C::ExportPc);
    QCOMPARE(dialogs->Count("save:"), 2);
  }

  void theMobileExportWaitsForItsToolsAndTellsTheOutcome() {
    Add({Photo("a.png", 400, 300), Photo("b.png", 400, 300)});
    dialogs->SaveFiles = {dir->File("velmobile.swf")};
    Trigger(C::ExportMobile);
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Log.back(),
             "inform:処理完了:携帯端末用データファイルの書き出しが完了しました");
    QVERIFY(fs::file_size(dir->File("velmobile.swf")) > 0);

    // a place the movie cannot go is an error naming it, found before the
    // tools run, never the completion message
    fs::create_directory(dir->File("folder.swf"));
    dialogs->SaveFiles = {dir->File("folder.swf")};
    Trigger(C::ExportMobile);
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Count("error:"), 1);
    QVERIFY(dialogs->Log.back().find("folder.swf") != std::string::npos);
    QCOMPARE(dialogs->Count("inform:"), 1);
  }

  void firstStartWelcomesAndTheCommandLineProjectOpens() {
    const std::string project = Project({Photo("a.png")});
    window = std::make_unique<TfrmMain>(dialogs.get(), dir->File("velinit"),
                                        std::vector<std::string>{project});
    window->show();
    PumpUntil([this] {
      return dialogs->Count("yesno:") == 1 && !window->LoaderRunning() &&
             window->Document().LayerItems().Count() == 1;
    });
    QVERIFY(dialogs->Log.front().find("Kalvane をインストールして頂き") != std::string::npos);
    QVERIFY(fs::exists(dir->File("config/Kalvane/velStart")));
    QCOMPARE(window->windowTitle(), QString::fromStdString("Kalvane (" + project + ")"));
    QVERIFY(window->Document().IsSaved());
    // the next start asks nothing; two arguments open nothing
    window = std::make_unique<TfrmMain>(dialogs.get(), dir->File("velinit"),
                                        std::vector<std::string>{project, project});
    window->show();
    QCoreApplication::processEvents();
    QCOMPARE(dialogs->Count("yesno:"), 1);
    QVERIFY(!window->LoaderRunning());
    QCOMPARE(window->Document().LayerItems().Count(), 0);
  }

  void theWindowsPlaceIsKept() {
    window->show();
    QCoreApplication::processEvents();
    window->move(40, 50);
    window->resize(800, 600);
    QVERIFY(window->close());
    window = std::make_unique<TfrmMain>(dialogs.get(), dir->File("velinit"));
    window->show();
    QCoreApplication::processEvents();
    QCOMPARE(window->pos(), QPoint(40, 50));
    QCOMPARE(window->size(), QSize(800, 600));
  }

  void alignsTheSequenceOnAWorkerAndTakesItBackAsOneStep() {
    QVERIFY(!Enabled(C::AlignWhole));
    const std::string samples =
        QCoreApplication::applicationDirPath().toStdString() + "/samples/turntable/turntable.vpj";
    window->OpenProject(samples, false);
    WaitForLoader();
    QVERIFY(Enabled(C::AlignWhole) && !Enabled(C::Undo));
    auto align = [this] {
      Trigger(C::AlignWhole);
      QVERIFY(window->Alignment().Running());
      QVERIFY(!Enabled(C::Undo) &&
              !Enabled(C::AlignWhole));  // nothing changes the project meanwhile
      PumpUntil([this] { return !window->Alignment().Running(); });
    };
    auto& items = window->Document().LayerItems();
    items.GetItem(1)->SetFineOffset({0.3, -0.4});  // a fraction the undo must bring back
    align();
    QCOMPARE(items.GetItem(1)->GetOffset(), (kalvane::TPoint{-3, 3}));
    QVERIFY(std::abs(items.GetItem(1)->GetFineOffset().X + 8) < 0.2);  // the photos' 8 pixels
    QVERIFY(!window->Document().IsSaved());
    QCOMPARE(window->Action(C::Undo).text(), QString("元に戻す（自動位置合わせ）"));
    QCOMPARE(window->Action(C::Redo).text(), QString("やり直し(&Y)"));
    Trigger(C::Undo);
    QCOMPARE(window->Action(C::Redo).text(), QString("やり直し（自動位置合わせ）"));
    QCOMPARE(items.GetItem(1)->GetOffset(), (kalvane::TPoint{0, 0}));
    QCOMPARE(items.GetItem(1)->GetFineOffset(), (kalvane::TPointF{0.3, -0.4}));
    QVERIFY(window->Document().IsSaved());
    // With monochrome on, the overlay follows the alignment and its undo.
    kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
    const auto shown = [&] {
      const kalvane::TBitmap24& work = window->Document().WorkBitmap();
      return QImage(work.Bits(), work.Width(), work.Height(), static_cast<qsizetype>(work.Stride()),
                    QImage::Format_BGR888)
          .copy();
    };
    const auto rebuilt = [&] {
      kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
      kalvane::test::Click(Find<QAbstractButton>("btnLayerMono"));
      return shown();
    };
    align();
    const QImage aligned = shown();
    Trigger(C::Undo);
    const QImage undone = shown();
    QVERIFY(undone != aligned);
    QCOMPARE(undone, rebuilt());  // a toggle of the mode draws the overlay anew
    Trigger(C::Redo);
    QCOMPARE(shown(), aligned);
    QCOMPARE(aligned, rebuilt());
    // a drag after aligning is undone first, then the alignment
    const kalvane::TItemOffset aligned1 = window->Document().ItemOffset(items.GetItem(1)->GetId());
    items.GetItem(1)->SetOffset({9, 9});
    window->Document().DragEnded(items.GetItem(1)->GetId(), aligned1);
    Trigger(C::Undo);
    QCOMPARE(items.GetItem(1)->GetOffset(), (kalvane::TPoint{-3, 3}));
    Trigger(C::Undo);
    QCOMPARE(items.GetItem(1)->GetOffset(), (kalvane::TPoint{0, 0}));

    // Cancelled from its progress window, it changes nothing.
    const int steps = window->UndoStack().count();
    Trigger(C::AlignWhole);
    QVERIFY(window->Alignment().ProgressWindow());
    QTest::mouseClick(window->Alignment().ProgressWindow()->Dialog()->btnCancel, Qt::LeftButton);
    PumpUntil([this] { return !window->Alignment().Running(); });
    QCOMPARE(items.GetItem(1)->GetOffset(), (kalvane::TPoint{0, 0}));
    QCOMPARE(window->UndoStack().count(), steps);
    QVERIFY(Enabled(C::AlignWhole));
  }

  void alignsOnARegionDrawnOnTheCanvasAndMarksTheDoubtfulPhotos() {
    // The sample as shot, one photo of it blurred past recognition.
    const std::string samples =
        QCoreApplication::applicationDirPath().toStdString() + "/samples/turntable/";
    const QImage photo(QString::fromStdString(samples + "turntable_05.jpg"));
    photo.scaled(40, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(photo.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(QString::fromStdString(dir->File("blurred.jpg")));
    std::ifstream in(samples + "turntable.vpj");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string five = "turntable_05.jpg";
    text.replace(text.find(five) - std::string(samples).size(), samples.size() + five.size(),
                 dir->File("blurred.jpg"));
    std::ofstream(dir->File("shot.vpj")) << text;
    window->resize(900, 700);
    window->show();
    window->OpenProject(dir->File("shot.vpj"), false);
    WaitForLoader();
    auto* canvas = Find<QWidget>("pboxDrag");
    // Esc gives the drawing up; a click draws nothing.
    Trigger(C::AlignDraw);
    QVERIFY(window->Workarea().Picking());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(!window->Workarea().Picking() && !window->Alignment().Running());
    Trigger(C::AlignDraw);
    kalvane::test::Press(canvas, {20, 200});
    kalvane::test::Release(canvas, {22, 201});
    QVERIFY(window->Workarea().Picking() && !window->Alignment().Running());
    // The rectangle drawn starts the alignment on it: the platter's lower
    // half, below the mug.
    const QPoint from(5, canvas->height() * 3 / 4), to(canvas->width() - 5, canvas->height() - 5);
    kalvane::test::Press(canvas, from);
    kalvane::test::Move(canvas, (from + to) / 2);
    kalvane::test::Release(canvas, to);
    QVERIFY(!window->Workarea().Picking());
    QVERIFY(window->Alignment().Running());
    PumpUntil([this] { return !window->Alignment().Running(); });
    auto& items = window->Document().LayerItems();
    QVERIFY(std::abs(items.GetItem(1)->GetFineOffset().X + 8) < 0.3);
    // The summary names the blurred photo, and its row says so too.
    const std::string& summary = dialogs->Log.back();
    QVERIFY2(summary.find("inform:") == 0 && summary.find("blurred.jpg") != std::string::npos,
             summary.c_str());
    QVERIFY(summary.find("turntable_06.jpg") == std::string::npos);
    const auto* panel = Find<kalvane::ui::TflmLayerList>("flmLayer");
    QVERIFY(window->Alignment().Doubtful().count(items.GetItem(5)->GetId()));
    QVERIFY(panel->Row(5)->toolTip().contains("%"));
    QVERIFY(panel->Row(6)->toolTip().isEmpty());
  }

  void theApplicationCommands() {
    // The conversion tool is built beside the test program, as it is
    // installed beside the editor; it is started, not waited for.
    Trigger(C::ConvertTool);
    QCOMPARE(dialogs->Log.back(), "start:" + kalvane::GetAppFolder() + "fotomill");
    Trigger(C::About);
    QCOMPARE(dialogs->Log.back(), "about");
    dialogs->Projects = {std::nullopt};
    Trigger(C::OpenSample);
    QVERIFY(dialogs->Log.back().find("samples") != std::string::npos);
  }
};

KALVANE_UI_TEST_MAIN(MainWindowTest)

#include "MainWindowTest.moc"
