// libvips before Qt: glib has a member named "signals", a word Qt defines.
#include <zip.h>
#include <vips/vips8>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "VideoRead.h"
#include "project/IniFile.h"
#include "ui/ExportController.h"
#include "ui/MainWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/ShopExportDialog.h"
#include "ui/Texts.h"

using C = kalvane::TCommandId;
using kalvane::test::PumpUntil;
using kalvane::test::ReadVideo;
using kalvane::ui::TfrmShopExportDialog;
namespace fs = std::filesystem;

namespace {

// The entries of a zip, by name, with their bytes.
std::vector<std::pair<std::string, std::string>> ZipEntries(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> entries;
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!zip) return entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st);
    std::string bytes(st.size, '\0');
    zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    zip_fread(file, bytes.data(), st.size);
    zip_fclose(file);
    entries.emplace_back(st.name, std::move(bytes));
  }
  zip_close(zip);
  return entries;
}

}  // namespace

class ShopExportTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  // Three photos in a folder "cup": the set's {name} for a project not saved.
  // `coloured`: each of its own colour, as a WebP encoder merges frames alike.
  void AddPhotos(bool coloured = false) {
    std::vector<std::string> files;
    int shade = 0;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
      const std::string path = dir->File(std::string("cup/") + name);
      fs::create_directories(fs::path(path).parent_path());
      if (coloured)
        kalvane::test::WriteSolid(path, 400, 300, 200, 60 + 70 * shade++, 40);
      else
        kalvane::test::WriteGradient(path, 400, 300);
      files.push_back(path);
    }
    dialogs->Images.push_back(files);
    window->Action(C::AddImages).trigger();
    WaitForLoader();
  }
  // `count` photos of 160 x 120 (a cut of 144 x 108) in the folder "turn".
  void AddTurn(int count) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      const std::string path = dir->File("turn/" + std::to_string(100 + i) + ".png");
      fs::create_directories(fs::path(path).parent_path());
      kalvane::test::WriteGradient(path, 160, 120);
      files.push_back(path);
    }
    dialogs->Images.push_back(files);
    window->Action(C::AddImages).trigger();
    WaitForLoader();
  }
  // Runs the command; `act` drives the dialog while it is open.
  void Export(const std::function<void(TfrmShopExportDialog&)>& act) {
    QTimer::singleShot(0, window.get(), [this, act] {
      TfrmShopExportDialog& dialog = window->Exports().ShopDialog();
      PumpUntil([&] { return dialog.isVisible(); });
      act(dialog);
      if (dialog.isVisible()) QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    });
    window->Action(C::ExportOther).trigger();
    PumpUntil([this] { return !window->ExportRunning(); });
  }
  static void Type(QWidget* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
  }
  static void Choose(QComboBox* box, int index) {
    while (box->currentIndex() < index)
      QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > index)
      QTest::keyClick(box, Qt::Key_Up);
  }

 private slots:
  void init() { Open(false); }
  void cleanup() { Close(); }

  void theCommandNeedsItemsAndSitsAfterTheMobileExport() {
    QVERIFY(!window->Action(C::ExportOther).isEnabled());
    AddPhotos();
    QVERIFY(window->Action(C::ExportOther).isEnabled());
    QAction* command = &window->Action(C::ExportOther);
    QCOMPARE(command->text(), QString::fromUtf8("その他の形式で書き出し..."));
    QList<QAction*> file;
    for (QMenu* menu : window->findChildren<QMenu*>())
      if (menu->menuAction()->objectName() == "F1") file = menu->actions();
    QCOMPARE(file.indexOf(command), file.indexOf(&window->Action(C::ExportMobile)) + 1);
  }

  void theAmazonPresetWritesAZipOfSquareFrames() {
    AddPhotos();
    dialogs->Folders = {dir->File("out")};
    bool refused = false;
    Export([&](TfrmShopExportDialog& d) {
      QCOMPARE(d.cmbPreset->currentIndex(), 0);
      // 72 frames asked of 3 photos: the dialog offers the 3, saying so
      QCOMPARE(d.spnCount->value(), 3);
      QVERIFY(d.lblCountNote->isVisibleTo(&d));
      QCOMPARE(d.lblCountNote->text(),
               QString::fromUtf8("写真が3枚のため、このプリセットの枚数（72枚・48枚・24枚）はどれも"
                                 "作れません。3枚で書き出します。"));
      QCOMPARE(d.spnSize->value(), 2000);
      QVERIFY(d.chkSquare->isChecked() && d.chkZip->isChecked());
      // 72 typed again: refused in the dialog, which stays open
      Type(d.spnCount, "72");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
      refused =
          d.isVisible() && d.lblProblem->isVisibleTo(&d) && d.lblProblem->text().contains("72");
      Type(d.spnCount, "3");
      Type(d.spnSize, "300");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QVERIFY(refused);
    QCOMPARE(dialogs->Count("error:"), 0);
    QCOMPARE(dialogs->Count("inform:"), 1);
    QVERIFY(dialogs->Log.back().find("ZIP の書き出しが完了しました") != std::string::npos);
    QVERIFY(dialogs->Log.back().find(dir->File("out/cup.zip")) != std::string::npos);
    // The zip checked against Amazon's rules: 3 frames of 300 on a dark
    // ground break three.
    for (const char* line :
         {"Amazon の条件：9 件中 6 件を満たしています", "× 枚数\r　　3 frames",
          "× 辺の長さ\r　　frame 1 (cup_01.jpg): 300 x 300", "○ 正方形", "× 背景の縁が白"})
      QVERIFY2(dialogs->Log.back().find(line) != std::string::npos, dialogs->Log.back().c_str());
    const auto entries = ZipEntries(dir->File("out/cup.zip"));
    QCOMPARE(entries.size(), std::size_t(3));
    QCOMPARE(entries[0].first, std::string("cup_01.jpg"));
    QCOMPARE(entries[2].first, std::string("cup_03.jpg"));
    for (const auto& [name, bytes] : entries) {
      const vips::VImage frame = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "");
      QCOMPARE(frame.width(), 300);
      QCOMPARE(frame.height(), 300);
      // the padding above the 300 x 225 picture is white
      QVERIFY(frame.getpoint(150, 5)[0] > 250);
    }
    QVERIFY(!fs::exists(dir->File("out/cup_01.jpg")));  // only the zip
    // The real progress window ran the three frames, offering its cancel.
    kalvane::ui::TExecProgress* progress = window->Exports().ProgressWindow();
    QVERIFY(progress);
    QCOMPARE(progress->Dialog()->pbarMain->maximum(), 3);
    QCOMPARE(progress->Dialog()->pbarMain->value(), 3);
    QVERIFY(!progress->Dialog()->btnCancel->isHidden());
    QVERIFY(!progress->Dialog()->isVisible());
    QVERIFY(window->isEnabled());
  }

  void theDialogSaysWhatTheProjectCanMakeAndWhatWouldSpoilIt() {
    AddTurn(36);
    dialogs->Folders = {dir->File("amazon")};
    const auto advice = [](TfrmShopExportDialog& d) {
      return d.lblAdvice->isVisibleTo(&d) ? d.lblAdvice->text() : QString();
    };
    Export([&](TfrmShopExportDialog& d) {
      // Amazon's 72 of 36 photos: what this project can make, before any frame
      QCOMPARE(d.spnCount->value(), 24);
      QVERIFY(d.lblCountNote->isVisibleTo(&d));
      QCOMPARE(d.lblCountNote->text(),
               QString::fromUtf8("写真が36枚のため、72枚のセットは作れません。"
                                 "このプロジェクトで作れる枚数：24枚"));
      // 24 of 36 photos lie 10° and 20° apart; 2000 px blow up a 144 px cut
      QString said = advice(d);
      QVERIFY2(said.contains(QString::fromUtf8("10°と20°")) &&
                   said.contains(QString::fromUtf8("（0°・10°・30°・40°・60°・70°…）")) &&
                   said.contains(QString::fromUtf8("均等になる枚数：36・18・12・9・6・4・3・2枚")),
               qPrintable(said));
      QVERIFY2(said.contains(QString::fromUtf8("画像（2000 × 1500 px）")) &&
                   said.contains(QString::fromUtf8("（144 × 108 px）を13.89倍")) &&
                   said.contains(QString::fromUtf8("144 px 以下")),
               qPrintable(said));
      Type(d.spnCount, "12");  // evenly spaced: only the enlargement is left
      QVERIFY(!advice(d).contains(QString::fromUtf8("ぎくしゃく")));
      QVERIFY(advice(d).contains(QString::fromUtf8("倍に拡大")));
      Type(d.spnSize, "150");  // 1.04 times: nothing to say
      QVERIFY(advice(d).isEmpty());
      // animations and videos by their width
      Choose(d.cmbPreset, 4);
      QVERIFY(advice(d).contains(QString::fromUtf8("画像（500 × 375 px）")));
      Type(d.spnWidth, "150");
      QVERIFY(advice(d).isEmpty());
      Choose(d.cmbPreset, 3);
      QVERIFY(advice(d).contains(QString::fromUtf8("画像（1080 × 810 px）")));
      Choose(d.cmbPreset, 0);  // as edited: 12 frames, now 300 on the longer side
      QCOMPARE(d.spnCount->value(), 12);
      Type(d.spnSize, "300");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    // said again beside what was made
    QCOMPARE(dialogs->Count("inform:"), 1);
    const std::string done = dialogs->Log.back();
    QVERIFY2(done.find("ZIP の書き出しが完了しました") != std::string::npos &&
                 done.find("画像（300 × 225 px）はトリミングボックスの写真の画素（144 × 108 "
                           "px）を2.08倍に拡大するため") != std::string::npos,
             done.c_str());
    QCOMPARE(ZipEntries(dir->File("amazon/turn.zip")).size(), std::size_t(12));
  }

  void aMovieWiderThanTheCutIsWarnedOf() {
    AddPhotos();  // 400 x 300: a cut of 360 x 270
    dialogs->Widths = {500, 360};
    dialogs->SaveFiles = {dir->File("wide.swf"), dir->File("cut.swf")};
    window->Action(C::ExportPc).trigger();
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Count("warn:"), 1);
    QCOMPARE(dialogs->Count("inform:"), 1);
    const auto warned =
        std::find_if(dialogs->Log.begin(), dialogs->Log.end(),
                     [](const std::string& line) { return line.starts_with("warn:"); });
    QVERIFY2(warned->find("画像（500 × 375 px）") != std::string::npos &&
                 warned->find("（360 × 270 px）を1.39倍") != std::string::npos &&
                 warned->find("360 px 以下") != std::string::npos,
             warned->c_str());
    QVERIFY(dialogs->Log.back().find("書き出しが完了しました") != std::string::npos);
    // the cut's own width: no warning
    window->Action(C::ExportPc).trigger();
    PumpUntil([this] { return !window->ExportRunning(); });
    QCOMPARE(dialogs->Count("warn:"), 1);
    QCOMPARE(dialogs->Count("inform:"), 2);
    QVERIFY(fs::exists(dir->File("cut.swf")));
  }

  void theAnimationPresetWritesTheChosenFormat() {
    AddPhotos();
    dialogs->SaveFiles = {dir->File("turn.gif")};
    Export([&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 4);
      QCOMPARE(d.pgSettings->currentIndex(), 1);
      QCOMPARE(d.spnWidth->value(), 500);
      Type(d.spnWidth, "200");
      Choose(d.cmbAnimFormat, 1);  // GIF
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QVERIFY(dialogs->Log.back().find("アニメーションの書き出しが完了しました") !=
            std::string::npos);
    // the picker offered a GIF named after the photos' folder
    QCOMPARE(dialogs->Count("save:GIFファイル(*.gif)|*.gif:cup.gif"), 1);
    const vips::VImage gif = vips::VImage::new_from_file(dir->File("turn.gif").c_str(),
                                                         vips::VImage::option()->set("n", -1));
    QCOMPARE(gif.width(), 200);
    QCOMPARE(gif.get_int("n-pages"), 3);
  }

  void theShopifyPresetWritesAnMp4AndAWebpOfOneTurn() {
    AddPhotos(true);
    // The WebP's place is taken by a folder: the failure names it.
    fs::create_directories(dir->File("turn.webp"));
    dialogs->SaveFiles = {dir->File("turn.mp4"), dir->File("turn.mp4")};
    const auto act = [&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 2);
      QCOMPARE(d.pgSettings->currentIndex(), 2);
      QCOMPARE(d.spnVideoFps->value(), 8.0);
      QCOMPARE(d.spnVideoQuality->value(), 75);
      QVERIFY(!d.cmbVideoFormat->isVisibleTo(&d));  // always an MP4
      // An odd width is refused in the dialog, which stays open.
      Type(d.spnVideoWidth, "241");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
      QVERIFY(d.isVisible() && d.lblProblem->isVisibleTo(&d));
      QVERIFY(d.lblProblem->text().contains(QString::fromUtf8("偶数")));
      Type(d.spnVideoWidth, "240");
      Type(d.spnMinSeconds, "1");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    };
    Export([&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 2);
      QCOMPARE(d.spnVideoWidth->value(), 1080);
      QCOMPARE(d.spnMinSeconds->value(), 6.0);
      act(d);
    });
    QCOMPARE(dialogs->Count("inform:"), 0);
    QCOMPARE(dialogs->Count("error:"), 1);
    QVERIFY(dialogs->Log.back().find(dir->File("turn.webp")) != std::string::npos);
    QVERIFY(dialogs->Log.back().find("完了") == std::string::npos);
    QVERIFY(!fs::exists(dir->File("turn.mp4")));  // found before any frame
    fs::remove(dir->File("turn.webp"));

    Export(act);
    QCOMPARE(dialogs->Count("save:MP4ファイル(*.mp4)|*.mp4:cup.mp4"), 2);
    QVERIFY(dialogs->Log.back().find("動画の書き出しが完了しました") != std::string::npos);
    QVERIFY(dialogs->Log.back().find(dir->File("turn.webp")) != std::string::npos);
    // 1 s at 8 a second: three turns of the three photos
    const kalvane::test::TReadVideo mp4 = ReadVideo(dir->File("turn.mp4"));
    QCOMPARE(mp4.Error, std::string());
    QCOMPARE(mp4.Codec, std::string("h264"));
    QCOMPARE(mp4.PixelFormat, std::string("yuv420p"));
    QCOMPARE(mp4.Width, 240);
    QCOMPARE(mp4.Height, 180);
    QCOMPARE(mp4.Frames, 9);
    const vips::VImage webp = vips::VImage::new_from_file(dir->File("turn.webp").c_str(),
                                                          vips::VImage::option()->set("n", -1));
    QCOMPARE(webp.width(), 240);
    QCOMPARE(webp.get_int("n-pages"), 3);  // one turn, shown for ever
  }

  void theVideoPresetWritesTheChosenFormatAndIsRemembered() {
    AddPhotos();
    dialogs->SaveFiles = {dir->File("turn.webm")};
    Export([&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 3);
      QVERIFY(d.cmbVideoFormat->isVisibleTo(&d));
      Choose(d.cmbVideoFormat, 1);  // WebM
      Type(d.spnVideoWidth, "160");
      Type(d.spnVideoFps, "4");
      Type(d.spnVideoQuality, "40");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QCOMPARE(dialogs->Count("save:WebMファイル(*.webm)|*.webm:cup.webm"), 1);
    QVERIFY(dialogs->Log.back().find("動画の書き出しが完了しました") != std::string::npos);
    // at least 6 s at 4 a second: eight turns
    const kalvane::test::TReadVideo webm = ReadVideo(dir->File("turn.webm"));
    QCOMPARE(webm.Error, std::string());
    QCOMPARE(webm.Codec, std::string("vp9"));
    QCOMPARE(webm.Width, 160);
    QCOMPARE(webm.Height, 120);
    QCOMPARE(webm.Frames, 24);
    QVERIFY(std::abs(webm.Seconds - 6) < 0.3);

    window = std::make_unique<kalvane::ui::TfrmMain>(dialogs.get(), dir->File("velinit"));
    AddPhotos();
    Export([&](TfrmShopExportDialog& d) {
      QCOMPARE(d.cmbPreset->currentIndex(), 3);
      QCOMPARE(d.cmbVideoFormat->currentIndex(), 1);
      QCOMPARE(d.spnVideoWidth->value(), 160);
      QCOMPARE(d.spnVideoFps->value(), 4.0);
      QCOMPARE(d.spnVideoQuality->value(), 40);
      Choose(d.cmbPreset, 2);  // Shopify's as they were
      QCOMPARE(d.spnVideoWidth->value(), 1080);
    });
  }

  void editsAreRememberedInANewWindow() {
    { std::ofstream(dir->File("velinit")) << "[main]\nLeft=40\n[other]\nkey=kept\n"; }
    AddPhotos();
    // A cancelled dialog keeps nothing.
    Export([&](TfrmShopExportDialog& d) { Type(d.spnSize, "1500"); });
    // Confirmed edits stay, even when the picker is then cancelled.
    Export([&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 1);
      QCOMPARE(d.spnSize->value(), 1000);
      Type(d.spnCount, "2");
      QTest::keyClick(d.chkSquare, Qt::Key_Space);
      Choose(d.cmbBackground, 2);
      Type(d.edtColor, "#102030");
      Choose(d.cmbFormat, 2);  // WebP
      Type(d.edtName, "spin_{angle:03}");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QCOMPARE(dialogs->Count("folder:"), 1);
    const kalvane::TIniFile file = kalvane::TIniFile::Load(dir->File("velinit"));
    QCOMPARE(file.ReadInteger("main", "Left", -1), 40);
    QCOMPARE(file.ReadString("other", "key", ""), std::string("kept"));

    window = std::make_unique<kalvane::ui::TfrmMain>(dialogs.get(), dir->File("velinit"));
    AddPhotos();
    dialogs->Folders = {dir->File("spin")};
    Export([&](TfrmShopExportDialog& d) {
      QCOMPARE(d.cmbPreset->currentIndex(), 1);
      QCOMPARE(d.spnCount->value(), 2);
      QVERIFY(d.chkSquare->isChecked());
      QCOMPARE(d.edtColor->text(), QString("#102030"));
      QCOMPARE(d.cmbFormat->currentIndex(), 2);
      QCOMPARE(d.edtName->text(), QString("spin_{angle:03}"));
      Choose(d.cmbPreset, 0);  // the others as they were
      QCOMPARE(d.spnSize->value(), 2000);
      Choose(d.cmbPreset, 1);
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    // two of three photos, at 0° and 120°, square on the colour
    QVERIFY(fs::exists(dir->File("spin/spin_000.webp")));
    QVERIFY(fs::exists(dir->File("spin/spin_120.webp")));
    // and the set's mark beside them
    QCOMPARE(std::distance(fs::directory_iterator(dir->File("spin")), {}), 3);
    const vips::VImage frame = vips::VImage::new_from_file(dir->File("spin/spin_000.webp").c_str());
    QCOMPARE(frame.width(), 1000);
    QCOMPARE(frame.height(), 1000);
    QVERIFY(std::abs(frame.getpoint(500, 3)[2] - 0x30) < 6);
    QVERIFY(dialogs->Log.back().find("連番画像の書き出しが完了しました") != std::string::npos);
  }

  void aFailureIsNamedAndNeverCalledComplete() {
    AddPhotos();
    std::ofstream(dir->File("plain")) << "a file";
    // a set where no folder can be made
    dialogs->Folders = {dir->File("plain/set")};
    Export([&](TfrmShopExportDialog& d) {
      Type(d.spnCount, "3");
      Type(d.spnSize, "200");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QCOMPARE(dialogs->Count("inform:"), 0);
    QCOMPARE(dialogs->Count("error:"), 1);
    QVERIFY(dialogs->Log.back().find("その他の形式で書き出せませんでした。") != std::string::npos);
    QVERIFY(dialogs->Log.back().find(dir->File("plain")) != std::string::npos);
    QVERIFY(dialogs->Log.back().find("フォルダではありません") != std::string::npos);
    QVERIFY(window->isEnabled());

    // an animation that cannot be written once its frames are made
    dialogs->SaveFiles = {dir->File("plain/turn.webp")};
    Export([&](TfrmShopExportDialog& d) {
      Choose(d.cmbPreset, 4);
      Type(d.spnWidth, "120");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    QCOMPARE(dialogs->Count("inform:"), 0);
    QCOMPARE(dialogs->Count("error:"), 2);
    QVERIFY(dialogs->Log.back().find("ファイルを書き込めませんでした。") != std::string::npos);
    QVERIFY(dialogs->Log.back().find(dir->File("plain/turn.webp")) != std::string::npos);
    QVERIFY(!window->Exports().ProgressWindow()->Dialog()->isVisible());
    QVERIFY(window->isEnabled());
  }
};

KALVANE_UI_TEST_MAIN(ShopExportTest)
#include "ShopExportTest.moc"
