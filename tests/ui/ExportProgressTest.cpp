// Long exports as a user meets them: the progress window's cancel button
// and Esc, the wait for another export, and the photos an export cannot use.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "base/AppUtil.h"
#include "export/ExportFolderLock.h"
#include "export/ExportTexts.h"
#include "ui/ExportController.h"
#include "ui/MainWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/ShopExportDialog.h"
#include "ui/Texts.h"

using C = kalvane::TCommandId;
using kalvane::test::PumpUntil;
using kalvane::ui::TfrmProgressDialog;
using kalvane::ui::TfrmShopExportDialog;
namespace fs = std::filesystem;

class ExportProgressTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  // The 24 sample photos (1600 x 1200): at a large width their export
  // runs long after the progress window shows.
  void AddSamples() {
    std::vector<std::string> files;
    for (int i = 0; i < 24; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/turntable/turntable_%02d.jpg", i);
      files.push_back(std::string(KALVANE_SAMPLES_DIR) + name);
    }
    dialogs->Images.push_back(files);
    window->Action(C::AddImages).trigger();
    WaitForLoader();
  }
  TfrmProgressDialog* ProgressWindow() {
    kalvane::ui::TExecProgress* progress = window->Exports().ProgressWindow();
    return progress ? progress->Dialog() : nullptr;
  }
  // Pumps until the export's window shows `message` (or the export ends).
  TfrmProgressDialog* WaitForMessage(const QString& message) {
    PumpUntil([&] {
      TfrmProgressDialog* shown = ProgressWindow();
      return !window->ExportRunning() ||
             (shown && shown->isVisible() && shown->lblCaption->text().startsWith(message));
    });
    return window->ExportRunning() ? ProgressWindow() : nullptr;
  }
  static bool Offered(TfrmProgressDialog* progress) {
    return progress && progress->btnCancel->isVisible() && progress->btnCancel->isEnabled();
  }
  void WaitForEnd() {
    PumpUntil([this] { return !window->ExportRunning(); });
  }
  // Runs その他の形式で書き出し; `act` sets the dialog up and confirms it.
  void ShopExport(const std::function<void(TfrmShopExportDialog&)>& act) {
    QTimer::singleShot(0, window.get(), [this, act] {
      TfrmShopExportDialog& dialog = window->Exports().ShopDialog();
      PumpUntil([&] { return dialog.isVisible(); });
      act(dialog);
    });
    window->Action(C::ExportOther).trigger();
  }
  static void Choose(QComboBox* box, int index) {
    while (box->currentIndex() < index)
      QTest::keyClick(box, Qt::Key_Down);
  }
  static void Type(QWidget* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
  }
  std::string Earlier(const std::string& name) {
    const std::string path = dir->File("out/" + name);
    fs::create_directories(dir->File("out"));
    std::ofstream(path) << "earlier";
    return path;
  }
  // Nothing but the earlier files in the output folder: no temporaries.
  std::size_t OutputFiles() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir->File("out")), fs::directory_iterator()));
  }
  // A cancelled export: said by nothing, the earlier file as it was and
  // nothing beside it, the window usable again.
  void ExpectCancelledQuietly(const std::string& out) {
    QCOMPARE(dialogs->Count("inform:") + dialogs->Count("error:"), 0);
    QCOMPARE(kalvane::test::ReadText(out), std::string("earlier"));
    QCOMPARE(OutputFiles(), std::size_t(1));
    QVERIFY(window->isEnabled());
  }

 private slots:
  void init() {
    Open(false);
    // The export folder and its lock of this test alone.
    qputenv("TMPDIR", QByteArray::fromStdString(dir->Path()));
  }
  void cleanup() {
    Close();
    qunsetenv("TMPDIR");
  }

  void aMovieExportIsCancelledByTheProgressWindowsButton() {
    AddSamples();
    const std::string out = Earlier("veldata.swf");
    dialogs->Widths = {2500};
    dialogs->SaveFiles = {out};
    window->Action(C::ExportPc).trigger();
    TfrmProgressDialog* progress = WaitForMessage(QString::fromUtf8(kalvane::kExportMessage));
    QVERIFY(progress);
    QVERIFY(!window->isEnabled());
    QVERIFY(Offered(progress));
    QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    WaitForEnd();
    ExpectCancelledQuietly(out);
    QVERIFY(!progress->isVisible());
  }

  void aVideoExportIsCancelledByEsc() {
    AddSamples();
    const std::string out = Earlier("turn.mp4");
    dialogs->SaveFiles = {out};
    ShopExport([](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 3);  // a video
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    TfrmProgressDialog* progress = WaitForMessage(QString::fromUtf8(kalvane::kExportMessage));
    QVERIFY(Offered(progress));
    QTest::keyClick(progress, Qt::Key_Escape);
    WaitForEnd();
    ExpectCancelledQuietly(out);
    QCOMPARE(dialogs->Count("warn:"), 0);
  }

  void anAnimationsEncodingShowsProgressAndIsCancelled() {
    AddSamples();
    const std::string out = Earlier("turn.gif");
    dialogs->SaveFiles = {out};
    ShopExport([](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 4);      // an animation
      Choose(d.cmbAnimFormat, 1);  // GIF
      Type(d.spnWidth, "800");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    TfrmProgressDialog* progress =
        WaitForMessage(QString::fromUtf8(kalvane::kEncodeAnimationMessage));
    QVERIFY(progress);
    QVERIFY(!window->isEnabled());
    QCOMPARE(progress->pbarMain->maximum(), 100);
    QVERIFY(Offered(progress));
    QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    WaitForEnd();
    ExpectCancelledQuietly(out);
  }

  void shopifysPairCancelledInItsAnimationSaysWhichHalfWasWritten() {
    AddSamples();
    const std::string mp4 = Earlier("turn.mp4");
    const std::string webp = Earlier("turn.webp");
    dialogs->SaveFiles = {mp4};
    ShopExport([](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 2);  // Shopify's MP4 and WebP
      Type(d.spnVideoWidth, "480");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    // Its MP4 step offers the cancel too.
    QVERIFY(Offered(WaitForMessage(QString::fromUtf8(kalvane::kExportMessage))));
    TfrmProgressDialog* progress =
        WaitForMessage(QString::fromUtf8(kalvane::kEncodeAnimationMessage));
    QVERIFY(Offered(progress));
    QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    WaitForEnd();
    QCOMPARE(dialogs->Count("warn:"), 1);
    QCOMPARE(dialogs->Count("inform:") + dialogs->Count("error:"), 0);
    const std::string said = dialogs->Log.back();
    QVERIFY2(said == std::string("warn:確認:") + kalvane::ui::kShopPairCancelled + "\r\r" +
                         kalvane::ui::kShopPairWritten + "\r" + mp4 + "\r\r" +
                         kalvane::ui::kShopPairNotWritten + "\r" + webp,
             said.c_str());
    QVERIFY(kalvane::test::ReadText(mp4) != "earlier");
    QCOMPARE(kalvane::test::ReadText(webp), std::string("earlier"));
    QCOMPARE(OutputFiles(), std::size_t(2));
  }

  void theWaitForAnotherExportNamesItAndIsCancelled() {
    QVERIFY(kalvane::PrepareExportTempFolder().Ok());
    const std::string folder = kalvane::GetExportTempFolder();
    const std::string photo = dir->File("a.png");
    kalvane::test::WriteGradient(photo, 160, 120);
    dialogs->Images.push_back({photo});
    window->Action(C::AddImages).trigger();
    WaitForLoader();
    const std::string out = dir->File("veldata.swf");

    // Another export (this process) holds the folder.
    kalvane::TExportFolderLock other;
    QVERIFY(other.Take(folder).Ok());
    dialogs->Widths = {200};
    dialogs->SaveFiles = {out};
    window->Action(C::ExportPc).trigger();
    TfrmProgressDialog* progress =
        WaitForMessage(QString::fromUtf8(kalvane::kWaitingForExportMessage));
    QVERIFY(progress);
    const QString said = progress->lblCaption->text();
    const QString program =
        QString::fromStdString(fs::read_symlink("/proc/self/exe").filename().string());
    QVERIFY2(said.contains(QString("pid %1: ").arg(getpid())) && said.contains(program),
             qPrintable(said));
    QVERIFY(Offered(progress));
    QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    WaitForEnd();
    QCOMPARE(dialogs->Count("inform:") + dialogs->Count("error:"), 0);
    QVERIFY(!fs::exists(out));
    QVERIFY(window->isEnabled());

    // Held in the name of a process that is gone: taken over.
    other.Release();
    const pid_t child = fork();
    if (child == 0) _exit(0);
    QVERIFY(child > 0 && waitpid(child, nullptr, 0) == child);
    kalvane::TLockHolder gone = kalvane::TLockHolder::Self();
    gone.Pid = child;
    const int fd = open((folder + kalvane::TExportFolderLock::kFileName).c_str(),
                        O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0 && flock(fd, LOCK_EX) == 0);
    const std::string record = gone.Record();
    QCOMPARE(write(fd, record.data(), record.size()), static_cast<ssize_t>(record.size()));
    dialogs->Widths = {200};
    dialogs->SaveFiles = {out};
    window->Action(C::ExportPc).trigger();
    WaitForEnd();
    close(fd);
    QVERIFY2(dialogs->Log.back() == "inform:処理完了:PC用データファイルの書き出しが完了しました",
             dialogs->Log.back().c_str());
    QVERIFY(fs::exists(out));
  }

  void everyPhotoTheExportCannotUseIsNamedInOneRun() {
    const std::string samples = std::string(KALVANE_SAMPLES_DIR) + "/turntable/";
    const std::string good = dir->File("good.jpg");
    fs::copy_file(samples + "turntable_00.jpg", good);
    const std::string empty = dir->File("empty.jpg");
    std::ofstream{empty};
    const std::string text = dir->File("notes.jpg");
    std::ofstream(text) << "not a photo";
    const std::string bomb = dir->File("bomb.png");
    kalvane::test::WriteHugePng(bomb);
    const std::string cut = dir->File("cut.jpg");
    const std::string whole = kalvane::test::ReadText(samples + "turntable_01.jpg");
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::string project = "[project]\nitemCount=5\n";
    int i = 0;
    for (const std::string& photo : {good, empty, text, bomb, cut})
      project += "[projectItem" + std::to_string(i++) + "]\nname=" + photo + "\n";
    std::ofstream(dir->File("p.vpj")) << project;
    window->OpenProject(dir->File("p.vpj"), false);
    WaitForLoader();
    QCOMPARE(window->Document().LayerItems().Count(), 5);  // kept, three without a picture

    dialogs->Widths = {200};
    dialogs->SaveFiles = {dir->File("veldata.swf")};
    window->Action(C::ExportPc).trigger();
    WaitForEnd();
    QCOMPARE(dialogs->Count("error:"), 1);
    const QString said = QString::fromStdString(dialogs->Log.back());
    QVERIFY2(said.contains(QString::fromUtf8("次の4枚の写真を使えません。")), qPrintable(said));
    // Each on its line, in the project's order, in Japanese.
    const QStringList lines = QString(said).replace('\r', '\n').split('\n');
    QStringList named;
    for (const QString& line : lines)
      for (const std::string& photo : {empty, text, bomb, cut})
        if (line.startsWith(QString::fromStdString(photo + ":"))) named << line;
    QCOMPARE(named.size(), 4);
    QVERIFY2(named[0].contains(QString::fromUtf8("空のファイルです")), qPrintable(named[0]));
    QVERIFY2(named[1].contains(QString::fromUtf8("読み込める画像ではありません")),
             qPrintable(named[1]));
    QVERIFY2(named[2].contains(QString::fromUtf8("画像が大きすぎます")), qPrintable(named[2]));
    QVERIFY2(named[3].startsWith(QString::fromStdString(cut)), qPrintable(named[3]));
    QVERIFY(!fs::exists(dir->File("veldata.swf")));
    QVERIFY(window->isEnabled());
  }
};

KALVANE_UI_TEST_MAIN(ExportProgressTest)
#include "ExportProgressTest.moc"
