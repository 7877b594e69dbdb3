#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "UiTest.h"
#include "base/AppUtil.h"
#include "ui/DataPreview.h"
#include "ui/MainWindow.h"
#include "ui/WorkArea.h"

using C = kalvane::TCommandId;
using kalvane::test::PumpUntil;
using kalvane::test::TScriptedWindowDialogs;
using kalvane::ui::TfrmMain;
namespace fs = std::filesystem;

namespace {

// The whole answer to one GET on the loopback address.
std::string Get(int port, const std::string& path) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return "";
  }
  const std::string request =
      "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string response;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
    response.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return response;
}

}  // namespace

class PreviewTest : public QObject, protected kalvane::test::TWindowFixture {
  Q_OBJECT

 private:
  kalvane::TLayerManagement& Items() { return window->Document().LayerItems(); }
  QAbstractButton* Button(const char* name) { return window->findChild<QAbstractButton*>(name); }
  void Add(int n) {
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
      files.push_back(dir->File("p" + std::to_string(i) + ".png"));
      kalvane::test::WriteSolid(files.back(), 80, 60, 40 * i, 90, 90);
    }
    window->AddImages(files);
    PumpUntil([this] { return !window->LoaderRunning(); });
  }
  int Shown() { return Items().GetSelected() ? Items().GetSelected()->GetIndex() : -1; }

 private slots:
  void init() { Open(true); }
  void cleanup() { Close(); }

  void ratesAndTheirIntervals() {
    QCOMPARE(kalvane::ui::PreviewInterval("8"), 125);
    QCOMPARE(kalvane::ui::PreviewInterval("30"), 33);
    QCOMPARE(kalvane::ui::PreviewInterval("3"), 333);
    QCOMPARE(kalvane::ui::PreviewInterval("x"), 0);
    Add(2);
    kalvane::test::Click(Button("btnPreview"));
    QCOMPARE(window->Preview().Interval(), 125);
    window->findChild<QComboBox*>("cmbFrameRate")->setCurrentText("30");
    QCOMPARE(window->Preview().Interval(), 33);  // at once, while playing
    kalvane::test::Click(Button("btnPreview"));
  }

  void playsFromTheCurrentItemRoundAndStopsThere() {
    Add(5);
    Items().SelectIndex(2);
    window->Action(C::Preview).trigger();
    QVERIFY(window->Action(C::Preview).isChecked());
    std::vector<int> shown;
    for (int i = 0; i < 6; ++i) {
      window->Preview().Tick();
      shown.push_back(Shown());
    }
    QCOMPARE(shown, (std::vector<int>{2, 3, 4, 0, 1, 2}));
    window->Preview().Tick();  // shows 3
    window->Action(C::Preview).trigger();
    QVERIFY(window->Preview().IsIdle());
    QCOMPARE(Shown(), 3);
  }

  void controlsAreOffWhilePlayingAndComeBackAsTheyWere() {
    Add(3);
    kalvane::test::Click(Button("btnTrimShow"));  // box hidden, guides shown
    window->Document().AddGuide(1, 0.5);
    window->Document().MarkSaved();
    kalvane::test::Click(Button("btnPreview"));
    auto* guide = window->WorkArea().findChild<QWidget*>("guide0");
    auto* corner = window->WorkArea().findChild<QWidget*>("CornerItem0");
    QVERIFY(guide && !guide->isVisible());
    auto* shade = window->WorkArea().findChild<QWidget*>("shpShade0");
    QVERIFY(shade && shade->isVisible());  // also with the box hidden
    QVERIFY(window->ImageLocked());
    for (C id : {C::AddImages, C::Save, C::ExportPc, C::FileMenu, C::ItemMenu, C::WorkMenu,
                 C::HelpMenu, C::HtmlPreview, C::ImageLock})
      QVERIFY2(!window->Action(id).isEnabled(), std::to_string(static_cast<int>(id)).c_str());
    QVERIFY(window->Action(C::Preview).isEnabled() && window->Action(C::Preview).isEnabled());
    QVERIFY(window->findChild<QWidget*>("cmbFrameRate")->isEnabled());
    // presses on the canvas and arrow keys do nothing while it plays
    Button("btnImageLock")->setEnabled(true);
    const kalvane::TPoint before = Items().GetSelected()->GetOffset();
    QTest::keyClick(window.get(), Qt::Key_Left);
    QCOMPARE(Items().GetSelected()->GetOffset(), before);
    QVERIFY(!window->WorkArea().Dragging());
    kalvane::test::Click(Button("btnPreview"));
    QVERIFY(guide->isVisible());
    QVERIFY(!corner->isVisible());
    QVERIFY(!shade->isVisible());
    QVERIFY(!window->Action(C::Save).isEnabled());  // it was saved before
    QVERIFY(window->Action(C::AddImages).isEnabled() && window->Action(C::FileMenu).isEnabled());
    QVERIFY(window->ImageLocked());

    window->Action(C::Reverse).trigger();  // modified now
    kalvane::test::Click(Button("btnPreview"));
    kalvane::test::Click(Button("btnPreview"));
    QVERIFY(window->Action(C::Save).isEnabled());
  }

  void aMissingPhotoIsPassedOver() {
    Add(3);
    Items().SelectIndex(0);
    fs::remove(dir->File("p1.png"));
    kalvane::test::Click(Button("btnPreview"));
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
      window->Preview().Tick();
      shown.push_back(Shown());
    }
    QCOMPARE(shown, (std::vector<int>{0, 2, 0, 2}));
    kalvane::test::Click(Button("btnPreview"));
  }

  void theHtmlPreviewIsServedOnLoopbackOnly() {
    Add(2);
    dialogs->Widths = {std::nullopt};
    window->Action(C::HtmlPreview).trigger();  // cancelled: nothing written
    QVERIFY(!window->ExportRunning());
    QCOMPARE(dialogs->Count("opendoc:"), 0);
    for (int run = 0; run < 2; ++run) {
      dialogs->Widths = {160};
      window->Action(C::HtmlPreview).trigger();
      PumpUntil([this] { return !window->ExportRunning(); });
    }
    QVERIFY2(dialogs->Count("opendoc:") == 2, dialogs->Log.back().c_str());
    const std::string url = dialogs->Log.back().substr(std::string("opendoc:").size());
    QVERIFY2(url.rfind("http://127.0.0.1:", 0) == 0, url.c_str());
    QVERIFY(url.size() > 8 && url.substr(url.size() - 8) == "tmp.html");
    QVERIFY(window->statusBar()->currentMessage().endsWith(QString::fromStdString(url)));
    const int port = std::stoi(url.substr(17));
    QVERIFY(Get(port, "/tmp.html").rfind("HTTP/1.1 200", 0) == 0);
    QVERIFY(Get(port, "/tmp.swf").rfind("HTTP/1.1 200", 0) == 0);
    QVERIFY(Get(port, "/../velinit").rfind("HTTP/1.1 404", 0) == 0);
    QVERIFY(fs::exists(kalvane::GetExportTempFolder() + "prev/tmp.swf"));
  }
};

KALVANE_UI_TEST_MAIN(PreviewTest)

#include "PreviewTest.moc"
