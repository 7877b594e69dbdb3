// The preparation tool's window offscreen: photos added by picker and by
// drop, the preview following the settings, each photo's own level, a run
// with its progress, cancel and project, what it says of each photo, a
// second run into the same folder, the settings kept, and what it refuses.
// libvips (through GLib) first: Qt's keywords would change GLib's headers.
#include <vips/vips8>
// clang-format off
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
// clang-format on

#include "Pump.h"
#include "TestImages.h"
#include "base/RunProgram.h"
#include "fotomill/FotomillWindow.h"
#include "qt/InstanceSlot.h"

namespace fs = std::filesystem;
using kalvane::fotomill::TfrmFotomill;

namespace {

// Pickers answered from a script, boxes recorded, the project made by the
// real kalvane-cli beside the test and the editor's start only recorded.
class TScriptedDialogs : public kalvane::fotomill::IFotomillDialogs {
 public:
  std::deque<std::vector<std::string>> Files;
  std::deque<std::optional<std::string>> Folders;
  std::deque<bool> Answers;
  std::vector<std::string> Log;

  std::vector<std::string> PickFiles(const std::string&) override {
    Log.push_back("files");
    if (Files.empty()) return {};
    auto f = Files.front();
    Files.pop_front();
    return f;
  }
  std::optional<std::string> PickFolder(const std::string& title, const std::string&) override {
    Log.push_back("folder:" + title);
    if (Folders.empty()) return std::nullopt;
    auto f = Folders.front();
    Folders.pop_front();
    return f;
  }
  void Warn(const std::string& text) override { Log.push_back("warn:" + text); }
  void Inform(const std::string& text) override { Log.push_back("inform:" + text); }
  bool Ask(const std::string& text) override {
    Log.push_back("ask:" + text);
    const bool yes = !Answers.empty() && Answers.front();
    if (!Answers.empty()) Answers.pop_front();
    return yes;
  }
  kalvane::TResult RunProgram(const std::vector<std::string>& argv) override {
    Log.push_back("run:" + argv.at(1));
    return kalvane::RunProgram(argv, LogFile, 120);
  }
  bool StartProgram(const std::string& program, const std::vector<std::string>& args) override {
    Log.push_back("start:" + fs::path(program).filename().string() + " " + args.at(0));
    return true;
  }
  std::string LogFile;
};

using kalvane::test::PumpUntil;

bool Has(const std::vector<std::string>& log, const std::string& start) {
  for (const std::string& line : log)
    if (line.rfind(start, 0) == 0) return true;
  return false;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

class FotomillTest : public QObject {
  Q_OBJECT

  std::unique_ptr<kalvane::test::TempDir> dir;
  std::unique_ptr<TScriptedDialogs> dialogs;
  std::unique_ptr<TfrmFotomill> window;

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* w = window->findChild<T*>(name);
    if (!w) qFatal("no control %s", name);
    return w;
  }
  // A check box takes clicks on its box and words, not on the row beyond.
  void Click(const char* name) {
    QWidget* w = Find<QWidget>(name);
    const QPoint at = qobject_cast<QCheckBox*>(w) ? QPoint(8, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
  }
  // Types into a box as a user would: everything selected, then the keys.
  void Type(const char* name, const QString& text) {
    QWidget* w = Find<QWidget>(name);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, text);
    QTest::keyClick(w, Qt::Key_Tab);
  }
  // Shots of the sample turntable, 400 x 300, made darker or brighter.
  std::string Shot(const std::string& name, int sample, double light) {
    const std::string path = dir->File(name);
    fs::create_directories(fs::path(path).parent_path());
    vips::VImage::thumbnail(
        (kalvane::test::SamplesDir() + "/turntable/turntable_0" + std::to_string(sample) + ".jpg")
            .c_str(),
        400)
        .linear(light, 0)
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(path.c_str());
    return path;
  }
  QImage After() { return Find<QLabel>("lblAfter")->pixmap().toImage(); }
  // Until the preview of the settings as they are now is shown.
  void WaitForPreview() {
    QVERIFY(window->PreviewPending());
    PumpUntil([&] { return !window->PreviewPending(); });
  }
  void Open() {
    window = std::make_unique<TfrmFotomill>(dialogs.get(), dir->File("fotomill.ini"));
    window->resize(1180, 760);
    window->show();
    QCoreApplication::processEvents();
  }
  void Drop(const std::vector<std::string>& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& p : paths)
      urls << QUrl::fromLocalFile(QString::fromStdString(p));
    mime->setUrls(urls);
    const QPoint at(50, 50);
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    delete mime;
  }

 private slots:
  void init() {
    dir = std::make_unique<kalvane::test::TempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir->File("config")));
    dialogs = std::make_unique<TScriptedDialogs>();
    dialogs->LogFile = dir->File("tool.log");
    Open();
  }
  void cleanup() {
    window.reset();
    dialogs.reset();
    dir.reset();
  }

  void addsInNameOrderWithThumbnailsAndPreview() {
    QVERIFY(!Find<QPushButton>("btnRun")->isEnabled());
    dialogs->Files.push_back(
        {Shot("p/p10.jpg", 0, 1), Shot("p/P3.jpg", 1, 0.8), Shot("p/p2.jpg", 2, 1.1)});
    Click("btnAddFiles");
    auto* list = Find<QListWidget>("lstPhotos");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QString("p2.jpg"));
    QCOMPARE(list->item(2)->text(), QString("p10.jpg"));
    QVERIFY(Find<QPushButton>("btnRun")->isEnabled());
    QCOMPARE(Find<QLabel>("lblStatus")->text(), QString::fromUtf8("3 枚の写真"));
    QCOMPARE(Find<QLineEdit>("edtOutput")->text().toStdString(), dir->File("p/fotomill"));
    PumpUntil([&] { return !list->item(2)->icon().isNull(); });
    WaitForPreview();
    QVERIFY(!After().isNull());
    // Adding one again changes nothing.
    dialogs->Files.push_back({dir->File("p/p2.jpg")});
    Click("btnAddFiles");
    QCOMPARE(list->count(), 3);
  }

  void thePreviewFollowsTheSettings() {
    Drop({Shot("q/a.jpg", 0, 0.85)});
    WaitForPreview();
    const QImage plain = After();
    const QColor corner = plain.pixelColor(plain.width() - 3, plain.height() - 3);
    QVERIFY(corner.red() < 250);
    Click("chkWhiteBackground");
    QVERIFY(window->Settings().WhiteBackground);
    WaitForPreview();
    const QImage white = After();
    QCOMPARE(white.pixelColor(white.width() - 3, white.height() - 3), QColor(255, 255, 255));
    // A level turns onto white and a grid lays lines over it.
    Type("spnLevel", "5");
    QCOMPARE(window->Settings().GeometryFor(window->Photos()[0]).LevelDegrees, 5.0);
    WaitForPreview();
    Click("chkGrid");
    WaitForPreview();
    const QImage grid = After();
    const QColor line = grid.pixelColor(grid.width() / 8, 5);
    QVERIFY2(line.blue() > line.red() + 40, qPrintable(line.name()));
    // Removing the photo clears the preview.
    QTest::mouseClick(Find<QListWidget>("lstPhotos")->viewport(), Qt::LeftButton, {},
                      Find<QListWidget>("lstPhotos")
                          ->visualItemRect(Find<QListWidget>("lstPhotos")->item(0))
                          .center());
    Click("btnRemove");
    QCOMPARE(window->Photos().size(), 0u);
    WaitForPreview();
    QVERIFY(Find<QLabel>("lblAfter")->pixmap().isNull());
  }

  void dropsFoldersAndWarnsOfTheRest() {
    Shot("shoot/b.jpg", 1, 1);
    Shot("shoot/a.png", 2, 1);
    std::ofstream(dir->File("notes.txt")) << "hi";
    Drop({dir->File("shoot"), dir->File("notes.txt")});
    QCOMPARE(window->Photos().size(), 2u);
    QCOMPARE(fs::path(window->Photos()[0]).filename().string(), "a.png");
    QVERIFY(Has(dialogs->Log, "warn:追加できないファイルがあります:\nnotes.txt"));
  }

  void runsMakesTheProjectAndOpensIt() {
    std::vector<std::string> shots;
    for (int i = 0; i < 4; ++i)
      shots.push_back(Shot("r/s" + std::to_string(i) + ".jpg", i, 0.8 + 0.1 * i));
    dialogs->Files.push_back(shots);
    Click("btnAddFiles");
    dialogs->Folders.push_back(dir->File("out"));
    Click("btnOutput");
    QCOMPARE(Find<QLineEdit>("edtOutput")->text().toStdString(), dir->File("out"));
    Type("spnSize", "200");
    Type("edtName", "cup-{index:03}");
    QVERIFY(Find<QCheckBox>("chkOpenInKalvane")->isChecked());
    Click("btnRun");
    QVERIFY(window->Running() || fs::exists(dir->File("out/cup-004.jpg")));
    PumpUntil([&] { return !window->Running(); });
    QCOMPARE(Find<QProgressBar>("prgRun")->value(), 4);
    for (int i = 1; i <= 4; ++i) {
      const std::string out = dir->File("out/cup-00" + std::to_string(i) + ".jpg");
      QVERIFY2(fs::exists(out), out.c_str());
      QCOMPARE(vips::VImage::new_from_file(out.c_str()).width(), 200);
    }
    QVERIFY(Has(dialogs->Log, "inform:4 枚の写真を変換しました。"));
    QVERIFY(Has(dialogs->Log, "run:new"));
    // Named after its folder, so two shoots' projects do not share a name.
    const std::string project = dir->File("out/out.vpj");
    QVERIFY2(fs::exists(project), qPrintable(QString::fromStdString(dialogs->Log.back())));
    QCOMPARE(dialogs->Log.back(), "start:kalvane " + project);
    QVERIFY(kalvane::test::ReadText(project).find("cup-004.jpg") != std::string::npos);
    for (const std::string& shot : shots)
      QVERIFY(fs::exists(shot));  // originals stay
  }

  void cancelStopsTheRun() {
    std::vector<std::string> shots;
    for (int i = 0; i < 10; ++i)
      shots.push_back(Shot("c/s" + std::to_string(i) + ".png", i % 6, 1));
    dialogs->Files.push_back(shots);
    Click("btnAddFiles");
    Find<QCheckBox>("chkOpenInKalvane")->setChecked(false);
    Type("spnSize", "3000");
    Click("chkEnlarge");  // upscaled: slow enough to stop
    Click("btnRun");
    QVERIFY(Find<QPushButton>("btnCancel")->isEnabled());
    QVERIFY(!Find<QPushButton>("btnRun")->isEnabled());
    Click("btnCancel");
    PumpUntil([&] { return !window->Running(); });
    QVERIFY(Find<QLabel>("lblStatus")->text().startsWith(QString::fromUtf8("中止しました")));
    std::size_t written = 0;
    for (const auto& entry : fs::directory_iterator(dir->File("c/fotomill"))) {
      if (entry.path().filename() == ".fotomill") continue;
      QCOMPARE(entry.path().extension().string(), std::string(".jpg"));  // no part files left
      ++written;
    }
    QVERIFY(written < shots.size());
    QVERIFY(!Has(dialogs->Log, "run:"));
  }

  void refusesToWriteOverTheOriginals() {
    const std::string shot = Shot("o/a.jpg", 0, 1);
    const auto before = fs::last_write_time(shot);
    Drop({shot});
    Type("edtOutput", QString::fromStdString(dir->File("o")));
    Click("btnRun");
    QVERIFY(!window->Running());
    QCOMPARE(
        dialogs->Log.back(),
        std::string("warn:変換できません:\n「a.jpg」は元の写真です。元の写真には上書きしません"));
    // A template's unknown field, in the window's words.
    Type("edtOutput", QString::fromStdString(dir->File("o2")));
    Type("edtName", "{foo}-{index}");
    Click("btnRun");
    QVERIFY2(dialogs->Log.back().find("ファイル名の {foo} は使えません") != std::string::npos,
             dialogs->Log.back().c_str());
    QCOMPARE(fs::last_write_time(shot), before);
    // Never the home folder itself, nor a system folder.
    Type("edtName", "{name}");
    const QByteArray home = qgetenv("HOME");
    const std::string myHome = dir->File("home");
    fs::create_directories(myHome);
    qputenv("HOME", QByteArray::fromStdString(myHome));
    Type("edtOutput", QString::fromStdString(myHome));
    Click("btnRun");
    qputenv("HOME", home);
    QVERIFY(!window->Running());
    QCOMPARE(dialogs->Log.back(),
             "warn:変換できません:\nホームフォルダ「" + myHome +
                 "」そのものには書き出せません。中にフォルダを作って選んでください");
    QVERIFY(fs::is_empty(myHome));
    Type("edtOutput", "/proc/kalvane-test");  // where nothing could be written anyway
    Click("btnRun");
    QCOMPARE(dialogs->Log.back(),
             std::string("warn:変換できません:\n「/proc/kalvane-test」はシステムの"
                         "フォルダのため書き出せません。自分のフォルダを選んでください"));
    // An empty output folder is asked for.
    Type("edtOutput", "");
    Find<QLineEdit>("edtOutput")->clear();
    Click("btnRun");
    QCOMPARE(dialogs->Log.back(), std::string("warn:出力フォルダを指定してください"));
  }

  void eachPhotoHasItsOwnLevelAndKeepsItsSize() {
    const std::vector<std::string> shots = {Shot("l/a.jpg", 0, 1), Shot("l/b.jpg", 1, 1),
                                            Shot("l/c.jpg", 2, 1)};
    dialogs->Files.push_back(shots);
    Click("btnAddFiles");
    auto* list = Find<QListWidget>("lstPhotos");
    list->setCurrentRow(0);
    Type("spnLevel", "2");
    list->setCurrentRow(1);
    QCOMPARE(Find<QDoubleSpinBox>("spnLevel")->value(), 0.0);  // its own, not the last typed
    Type("spnLevel", "-1.5");
    kalvane::TPrepSettings s = window->Settings();
    QCOMPARE(s.GeometryFor(shots[0]).LevelDegrees, 2.0);
    QCOMPARE(s.GeometryFor(shots[1]).LevelDegrees, -1.5);
    QCOMPARE(s.GeometryFor(shots[2]).LevelDegrees, 0.0);
    QVERIFY(list->item(0)->text().contains(QString::fromUtf8("傾き 2°")));
    list->setCurrentRow(0);
    QCOMPARE(Find<QDoubleSpinBox>("spnLevel")->value(), 2.0);
    // Levelled, each is written at the size it came in.
    Find<QCheckBox>("chkOpenInKalvane")->setChecked(false);
    Type("spnSize", "0");
    Click("btnRun");
    PumpUntil([&] { return !window->Running(); });
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      const vips::VImage out =
          vips::VImage::new_from_file(dir->File(std::string("l/fotomill/") + name).c_str());
      QCOMPARE(out.width(), 400);
      QCOMPARE(out.height(), 300);
    }
    Click("btnLevelAll");
    s = window->Settings();
    QCOMPARE(s.GeometryFor(shots[2]).LevelDegrees, 2.0);
  }

  void saysEachPhotosFailureUnderItInJapanese() {
    const std::vector<std::string> shots = {Shot("e/good.jpg", 0, 1), dir->File("e/bad_text.jpg"),
                                            Shot("e/truncated.jpg", 1, 1)};
    std::ofstream(shots[1]) << "words, not a photo";
    fs::resize_file(shots[2], fs::file_size(shots[2]) / 2);
    dialogs->Files.push_back(shots);
    Click("btnAddFiles");
    Find<QCheckBox>("chkOpenInKalvane")->setChecked(false);
    // The first in name order is the reference photo: without it, no run.
    Click("btnRun");
    PumpUntil([&] { return !window->Running(); });
    QCOMPARE(dialogs->Log.back(), std::string("warn:変換できません:\n基準の写真「bad_text.jpg」を"
                                              "読み込めません: 読み込める画像ではありません"));
    Find<QComboBox>("cmbReference")->setCurrentIndex(1);
    Click("btnRun");
    PumpUntil([&] { return !window->Running(); });
    auto* list = Find<QListWidget>("lstPhotos");
    const auto row = [&](const char* name) {
      for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().startsWith(name)) return list->item(i)->text();
      return QString();
    };
    QCOMPARE(row("truncated.jpg"),
             QString::fromUtf8("truncated.jpg\nファイルが途中で切れています"));
    QCOMPARE(row("bad_text.jpg"), QString::fromUtf8("bad_text.jpg\n読み込める画像ではありません"));
    QCOMPARE(row("good.jpg"), QString("good.jpg"));
    const std::string& box = dialogs->Log.back();
    QVERIFY2(
        box.find(
            "warn:2 枚の写真を変換できませんでした:\nbad_text.jpg: 読み込める画像ではありません\n"
            "truncated.jpg: ファイルが途中で切れています") == 0,
        box.c_str());
    QVERIFY(box.find("Vips") == std::string::npos);
  }

  void aSecondRunAsksAndNeverMixes() {
    std::vector<std::string> shots;
    for (int i = 0; i < 4; ++i)
      shots.push_back(Shot("m/s" + std::to_string(i) + ".jpg", i, 1));
    dialogs->Files.push_back(shots);
    Click("btnAddFiles");
    Find<QCheckBox>("chkOpenInKalvane")->setChecked(false);
    Type("spnSize", "100");
    Type("edtName", "shoe-{index:03}");
    Click("btnRun");
    PumpUntil([&] { return !window->Running(); });
    const std::string out = dir->File("m/fotomill");
    const std::vector<std::string> first = Listing(out);
    QCOMPARE(first.size(), 5u);  // four photos and the note of them
    // Two photos fewer: asked, and "no" leaves the folder as it was.
    Find<QListWidget>("lstPhotos")->setCurrentRow(3);
    Click("btnRemove");
    Find<QListWidget>("lstPhotos")->setCurrentRow(2);
    Click("btnRemove");
    dialogs->Answers.push_back(false);
    Click("btnRun");
    QVERIFY(!window->Running());
    QVERIFY2(Has(dialogs->Log,
                 "ask:出力フォルダ「" + out + "」には前回の変換で書き出した 4 個のファイル"),
             dialogs->Log.back().c_str());
    QCOMPARE(Listing(out), first);
    dialogs->Answers.push_back(true);
    Click("btnRun");
    PumpUntil([&] { return !window->Running(); });
    QCOMPARE(Listing(out), (std::vector<std::string>{".fotomill", "shoe-001.jpg", "shoe-002.jpg"}));
  }

  void ctrlQCloses() {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window->isVisible());
  }

  // A second copy of a program is placed away from the first; a copy that
  // ends frees its place.
  void copiesOfAProgramTakeTheirOwnPlaces() {
    const std::string folder = dir->File("locks");
    fs::create_directories(folder);
    auto first = std::make_unique<kalvane::qt::TInstanceSlot>("kalvane", folder);
    const kalvane::qt::TInstanceSlot second("kalvane", folder), other("fotomill", folder);
    QCOMPARE(first->Number(), 0);
    QCOMPARE(first->Offset(), 0);
    QCOMPARE(second.Number(), 1);
    QVERIFY(second.Offset() >= 24);
    QCOMPARE(other.Number(), 0);
    first.reset();
    QCOMPARE(kalvane::qt::TInstanceSlot("kalvane", folder).Number(), 0);
  }

  void remembersTheSettings() {
    Click("chkWhiteBackground");
    Click("chkKeepShadows");
    Type("spnThreshold", "20");
    Find<QComboBox>("cmbFormat")->setFocus();
    QTest::keyClick(Find<QComboBox>("cmbFormat"), Qt::Key_Down);
    Type("edtName", "{index:03}");
    Type("edtOutput", "/tmp/somewhere");
    window->close();
    window.reset();
    Open();
    const kalvane::TPrepSettings s = window->Settings();
    QVERIFY(s.WhiteBackground);
    QVERIFY(!s.Clean.KeepShadows);
    QCOMPARE(s.Clean.Threshold, 0.2);
    QCOMPARE(static_cast<int>(s.Output.Format), static_cast<int>(kalvane::TPhotoFormat::Png));
    QVERIFY(!Find<QSpinBox>("spnQuality")->isEnabled());  // PNG has no quality
    QCOMPARE(s.NameTemplate, std::string("{index:03}"));
    QCOMPARE(Find<QLineEdit>("edtOutput")->text(), QString("/tmp/somewhere"));
  }
};

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  FotomillTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FotomillTest.moc"
