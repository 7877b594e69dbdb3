#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "base/AppUtil.h"
#include "project/PageTitles.h"
#include "ui/MainWindow.h"
#include "ui/TemplateWindow.h"

using kalvane::test::PumpUntil;
using kalvane::test::TScriptedWindowDialogs;
using kalvane::ui::TfrmMain;
using kalvane::ui::TfrmTemplate;
namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class TemplateTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<kalvane::test::TempDir> dir;
  std::unique_ptr<TScriptedWindowDialogs> dialogs;

  // A template folder: themes A (two designs) and B (one broken design),
  // and the preview page that is no theme.
  std::string Templates() {
    const std::string root = dir->File("template/");
    auto design = [&](const std::string& path, int w, int h) {
      fs::create_directories(root + path);
      kalvane::test::WriteSolid(root + path + "/prev.jpg", w, h, 200, 100, 50);
      std::ofstream(root + path + "/prev.html") << "<p>" << path << "</p>";
    };
    design("A/one", 200, 100);
    std::ofstream(root + "A/one/velzoom.js")
        << "var autoplay = \"true\";\nvar spinOnce = \"false\";\nvar stopOnTouch = \"true\";\n"
           "var resumeAfter = \"5\";\nvar loadOn = \"near\";\n";
    design("A/two", 50, 50);
    fs::create_directories(root + "B/broken");
    fs::create_directories(root + "preview");
    std::ofstream(root + "preview/default.html") << "<p>choose</p>";
    return root;
  }

 private slots:
  void init() {
    dir = std::make_unique<kalvane::test::TempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir->File("config")));
    dialogs = std::make_unique<TScriptedWindowDialogs>();
  }
  void cleanup() {
    dialogs.reset();
    dir.reset();
  }

  void thumbnailsFitAHundredBySeventy() {
    QCOMPARE(kalvane::ui::DesignThumbnailSize(200, 100), QSize(100, 50));
    QCOMPARE(kalvane::ui::DesignThumbnailSize(50, 50), QSize(70, 70));
    QCOMPARE(kalvane::ui::DesignThumbnailSize(100, 140), QSize(50, 70));
  }

  void themesDesignsAndWhatThePreviewShows() {
    const std::string root = Templates();
    TfrmTemplate window(*dialogs, root, nullptr);
    auto* themes = window.findChild<QListWidget*>("lboxTheme");
    QCOMPARE(themes->count(), 2);  // "preview" is no theme
    QCOMPARE(themes->item(0)->text(), QString("A"));
    QCOMPARE(window.DesignCount(), 2);
    QCOMPARE(window.Design(1)->objectName(), QString("item1"));
    QCOMPARE(window.PreviewUrl().toLocalFile().toStdString(), root + "preview/default.html");
    QVERIFY(!window.findChild<QAbstractButton*>("btnCreate")->isEnabled());
    QTest::mouseClick(window.Design(1), Qt::LeftButton);
    QCOMPARE(window.GetSelectedIndex(), 1);
    QCOMPARE(window.PreviewUrl().toLocalFile().toStdString(), root + "A/two/prev.html");
    QVERIFY(window.findChild<QAbstractButton*>("btnCreate")->isEnabled());
    window.SelectTheme(1);  // B: its only design has no prev.jpg
    QCOMPARE(window.DesignCount(), 0);
    QCOMPARE(window.GetSelectedIndex(), -1);
  }

  void aPageSetFromTheChosenDesign() {
    const std::string site = dir->File("site");
    TfrmMain main(dialogs.get(), dir->File("velinit"));
    const std::string photo = dir->File("a.png");
    kalvane::test::WriteSolid(photo, 160, 120, 90, 90, 90);
    main.AddImages({photo});
    PumpUntil([&] { return !main.LoaderRunning(); });

    // The window closes with the design chosen and no help in the viewer.
    dialogs->Folders = {site};
    dialogs->Widths = {120};
    TfrmTemplate& window = main.Template();
    QVERIFY(window.DesignCount() > 0);
    QTimer::singleShot(0, &window, [&window] {
      window.SelectDesignIndex(0);
      window.findChild<QCheckBox*>("chkUseHelp")->setChecked(false);
      window.findChild<QCheckBox*>("chkAfterOpen")->setChecked(false);
      window.findChild<QCheckBox*>("chkLoadOnClick")->setChecked(true);
      window.findChild<QLineEdit*>("edtTitle")->setText("Blue & mug");
      window.findChild<QPlainTextEdit*>("edtDescription")->setPlainText("白い<陶器>");
      window.findChild<QAbstractButton*>("btnCreate")->click();
    });
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    PumpUntil([&] { return !main.ExportRunning(); });
    // the name, the text and the viewer's settings reach the page set
    QVERIFY(Read(site + "/velzoom.html").find("<h1>Blue &amp; mug</h1>") != std::string::npos);
    QVERIFY(Read(site + "/velzoom.html").find("data-vz-description>白い&lt;陶器&gt;</p>") !=
            std::string::npos);
    QVERIFY(fs::exists(site + "/viewer.html"));
    QVERIFY(Read(site + "/velzoom.js").find("var loadOn = \"click\";") != std::string::npos);
    QVERIFY(fs::exists(site + "/poster.jpg"));
    QVERIFY(fs::exists(site + "/veldata-2x.swf"));
    QVERIFY(fs::exists(site + "/embed.html"));
    QCOMPARE(dialogs->Log.back(),
             "inform:処理完了:テンプレートデザインデータの書き出しが完了しました");
    QVERIFY(fs::exists(site + "/veldata.swf"));
    QVERIFY(fs::exists(site + "/velzoom.html"));
    QVERIFY(!fs::exists(site + "/prev.jpg"));
    const std::string script = Read(site + "/velzoom.js");
    QVERIFY(script.find("var help = \"false\";") != std::string::npos);
    QVERIFY(script.find("var help = \"true\";") == std::string::npos);
    QVERIFY(script.find("var themeColor = \"#") == std::string::npos);

    // Cancelled in the window, or at the width: nothing more is written.
    fs::remove(site + "/veldata.swf");
    QTimer::singleShot(0, &window,
                       [&window] { window.findChild<QAbstractButton*>("btnCencel")->click(); });
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    dialogs->Folders = {site};
    dialogs->Widths = {std::nullopt};
    QTimer::singleShot(0, &window, [&window] {
      window.SelectDesignIndex(0);
      window.findChild<QAbstractButton*>("btnCreate")->click();
    });
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    QVERIFY(!main.ExportRunning());
    QVERIFY(!fs::exists(site + "/veldata.swf"));
    QVERIFY(dialogs->Log.back().find("書き出されませんでした") != std::string::npos);
  }

  void aForeignPageIsReplacedOnlyWhenTheUserAgrees() {
    const std::string site = dir->File("theirs");
    fs::create_directories(site);
    std::ofstream(site + "/velzoom.html") << "their page";
    std::ofstream(site + "/notes.txt") << "their notes";
    TfrmMain main(dialogs.get(), dir->File("velinit"));
    const std::string photo = dir->File("a.png");
    kalvane::test::WriteSolid(photo, 160, 120, 90, 90, 90);
    main.AddImages({photo});
    PumpUntil([&] { return !main.LoaderRunning(); });
    TfrmTemplate& window = main.Template();
    const auto create = [&window] {
      QTimer::singleShot(0, &window, [&window] {
        window.SelectDesignIndex(0);
        window.findChild<QCheckBox*>("chkAfterOpen")->setChecked(false);
        window.findChild<QAbstractButton*>("btnCreate")->click();
      });
    };

    // No: nothing is written, not even the width is asked.
    dialogs->Folders = {site};
    dialogs->YesNo = {false};
    create();
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    QVERIFY(!main.ExportRunning());
    QCOMPARE(dialogs->Count("yesno:"), 1);
    const std::string& question = dialogs->Log.back();
    QVERIFY(question.rfind("yesno:確認:出力先フォルダには、以前に書き出したデータではない", 0) ==
            0);
    QVERIFY(question.find("\r\r" + site + "/\rvelzoom.html") != std::string::npos);
    QVERIFY(question.find("notes.txt") == std::string::npos);  // not to be replaced
    QCOMPARE(dialogs->Count("width"), 0);
    QCOMPARE(Read(site + "/velzoom.html"), std::string("their page"));
    QVERIFY(!fs::exists(site + "/veldata.swf"));

    // Yes: the page set is written; their other file stays.
    dialogs->Folders = {site};
    dialogs->YesNo = {true};
    dialogs->Widths = {120};
    create();
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    PumpUntil([&] { return !main.ExportRunning(); });
    QCOMPARE(dialogs->Log.back(),
             "inform:処理完了:テンプレートデザインデータの書き出しが完了しました");
    QVERIFY(Read(site + "/velzoom.html") != "their page");
    QVERIFY(fs::exists(site + "/veldata.swf"));
    // no text given: neither the design's sample text nor its empty place
    QVERIFY(Read(site + "/velzoom.html").find("ここに商品の説明") == std::string::npos);
    QVERIFY(Read(site + "/velzoom.html").find("data-vz-description") == std::string::npos);
    QCOMPARE(Read(site + "/notes.txt"), std::string("their notes"));

    // Ours now: the next export into the folder asks nothing.
    dialogs->Folders = {site};
    dialogs->Widths = {120};
    create();
    main.Action(kalvane::TCommandId::ExportDesign).trigger();
    PumpUntil([&] { return !main.ExportRunning(); });
    QCOMPARE(dialogs->Count("yesno:"), 2);
    QCOMPARE(dialogs->Log.back(),
             "inform:処理完了:テンプレートデザインデータの書き出しが完了しました");
  }

  void theRootIsRefusedAndTheWindowStaysOpen() {
    TfrmTemplate window(*dialogs, Templates(), nullptr);
    window.show();
    window.SelectDesignIndex(0);
    auto* create = window.findChild<QAbstractButton*>("btnCreate");
    dialogs->Folders = {"/"};
    QTest::mouseClick(create, Qt::LeftButton);
    QVERIFY(window.isVisible());
    QVERIFY(window.GetResult().Folder.empty());
    QVERIFY(dialogs->Log.back().rfind("error:エラー:このフォルダには書き出せません。", 0) == 0);
    // a folder typed with a trailing slash is that folder
    dialogs->Folders = {dir->File("site/")};
    QTest::mouseClick(create, Qt::LeftButton);
    QCOMPARE(window.GetResult().Folder, dir->File("site/"));
  }

  // A folder that is not there yet is named in the window and made there.
  void aNamedFolderIsMade() {
    TfrmTemplate window(*dialogs, Templates(), nullptr);
    window.show();
    window.SelectDesignIndex(0);
    auto* folder = window.findChild<QLineEdit*>("edtOutputFolder");
    auto* create = window.findChild<QAbstractButton*>("btnCreate");
    QVERIFY(folder);
    // under a file no folder can be made: said, and the window stays
    std::ofstream(dir->File("file")) << "x";
    folder->setText(QString::fromStdString(dir->File("file/site")));
    QTest::mouseClick(create, Qt::LeftButton);
    QVERIFY(window.isVisible());
    QVERIFY(dialogs->Log.back().rfind("error:エラー:出力先フォルダを作成できませんでした。", 0) ==
            0);
    QCOMPARE(dialogs->Count("folder:"), 0);
    // 参照... fills the field from the folder dialog; a new name goes below it
    dialogs->Folders = {dir->File("shop")};
    QTest::mouseClick(window.findChild<QAbstractButton*>("btnOutputFolder"), Qt::LeftButton);
    QCOMPARE(folder->text().toStdString(), dir->File("shop"));
    folder->setText(folder->text() + "/mug/360");
    QTest::mouseClick(create, Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QVERIFY(fs::is_directory(dir->File("shop/mug/360")));
    QCOMPARE(window.GetResult().Folder, dir->File("shop/mug/360/"));
    // shown again, the window asks anew
    window.show();
    QVERIFY(folder->text().isEmpty());
  }

  // The product's name and the viewer's settings, driven as a user does:
  // clicks and keys on the controls themselves.
  void theNameAndTheViewerSettingsByMouseAndKeys() {
    const std::string settings = dir->File("config/velinit");
    const std::string root = Templates();
    const std::string site = dir->File("site/");
    {
      TfrmTemplate window(*dialogs, root, nullptr);
      window.SetSettingsPath(settings);
      window.SetProject("/photos/cup.vpj");
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      auto* title = window.findChild<QLineEdit*>("edtTitle");
      auto* description = window.findChild<QPlainTextEdit*>("edtDescription");
      auto* autoplay = window.findChild<QCheckBox*>("chkAutoplay");
      auto* spinOnce = window.findChild<QCheckBox*>("chkSpinOnce");
      auto* stop = window.findChild<QCheckBox*>("chkStopOnTouch");
      auto* resume = window.findChild<QCheckBox*>("chkResume");
      auto* seconds = window.findChild<QSpinBox*>("spnResumeAfter");
      auto* onClick = window.findChild<QCheckBox*>("chkLoadOnClick");
      QVERIFY(title && description && autoplay && spinOnce && stop && resume && seconds && onClick);
      QCOMPARE(title->text(), QString());
      QCOMPARE(title->placeholderText(), QString::fromUtf8("商品名"));

      // a design's own settings fill the boxes when it is chosen
      QTest::mouseClick(window.Design(0), Qt::LeftButton);
      QVERIFY(autoplay->isChecked() && !spinOnce->isChecked() && stop->isChecked());
      QVERIFY(resume->isChecked());
      QCOMPARE(seconds->value(), 5);
      QVERIFY(!onClick->isChecked());
      // the other design has none: the defaults
      QTest::mouseClick(window.Design(1), Qt::LeftButton);
      QVERIFY(spinOnce->isChecked() && !resume->isChecked() && !seconds->isEnabled());
      QTest::mouseClick(window.Design(0), Qt::LeftButton);

      QTest::mouseClick(title, Qt::LeftButton);
      // Japanese arrives as the input method's committed text, the rest as keys
      QInputMethodEvent typed;
      typed.setCommitString(QString::fromUtf8("青いマグ"));
      QApplication::sendEvent(title, &typed);
      QTest::keyClicks(title, " <L>");
      QTest::mouseClick(description->viewport(), Qt::LeftButton);
      QTest::keyClicks(description, "Glaze");
      QTest::keyClick(description, Qt::Key_Return);
      QTest::keyClicks(description, "300 ml");
      // without autoplay, what belongs to it is not offered
      QTest::mouseClick(autoplay, Qt::LeftButton);
      QVERIFY(!autoplay->isChecked());
      QVERIFY(!spinOnce->isEnabled() && !stop->isEnabled() && !resume->isEnabled());
      QVERIFY(!seconds->isEnabled());
      autoplay->setFocus();
      QTest::keyClick(autoplay, Qt::Key_Space);
      QVERIFY(autoplay->isChecked() && resume->isEnabled() && seconds->isEnabled());
      QTest::mouseClick(stop, Qt::LeftButton);
      QTest::mouseClick(onClick, Qt::LeftButton);
      seconds->setFocus();
      QTest::keyClick(seconds, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(seconds, "30");
      QTest::keyClick(seconds, Qt::Key_Tab);

      dialogs->Folders = {site};
      QTest::mouseClick(window.findChild<QAbstractButton*>("btnCreate"), Qt::LeftButton);
      QVERIFY(!window.isVisible());
      const TfrmTemplate::TResult result = window.GetResult();
      QCOMPARE(result.Title, std::string("青いマグ <L>"));
      QCOMPARE(result.Description, std::string("Glaze\n300 ml"));
      QCOMPARE(result.Viewer, (kalvane::TViewerSettings{true, false, false, 30, true}));
      QCOMPARE(kalvane::TPageTitles(settings).Title("/photos/cup.vpj"),
               std::string("青いマグ <L>"));
    }
    // The next run: the project's name comes back; another project has none.
    TfrmTemplate window(*dialogs, root, nullptr);
    window.SetSettingsPath(settings);
    auto* title = window.findChild<QLineEdit*>("edtTitle");
    auto* description = window.findChild<QPlainTextEdit*>("edtDescription");
    window.SetProject("/photos/cup.vpj");
    QCOMPARE(title->text(), QString::fromUtf8("青いマグ <L>"));
    QCOMPARE(description->toPlainText(), QString("Glaze\n300 ml"));
    window.SetProject("/photos/plate.vpj");
    QCOMPARE(title->text(), QString());
    QCOMPARE(description->toPlainText(), QString());
    // an unsaved project keeps what was typed while the window lives
    window.SetProject("");
    title->setText("typed");
    window.SetProject("");
    QCOMPARE(title->text(), QString("typed"));
  }

  void theChoicesAreKept() {
    {
      TfrmMain main(dialogs.get(), dir->File("velinit"));
      main.show();
      QCoreApplication::processEvents();
      main.Template().SelectTheme(1);
      main.Template().SelectDesignIndex(0);
      main.Template().SetUseHelp(false);
      QVERIFY(main.close());
    }
    TfrmMain main(dialogs.get(), dir->File("velinit"));
    main.show();
    QCoreApplication::processEvents();
    QCOMPARE(main.Template().SelectedTheme(), 1);
    QCOMPARE(main.Template().GetSelectedIndex(), 0);
    QVERIFY(!main.Template().UseHelp());
    QVERIFY(main.Template().AfterOpen());
  }
};

KALVANE_UI_TEST_MAIN(TemplateTest)

#include "TemplateTest.moc"
