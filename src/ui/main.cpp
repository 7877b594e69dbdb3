// kalvane: the editor.
#include <unistd.h>
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/AppUtil.h"
#include "imaging/ImageKit.h"
#include "qt/InstanceSlot.h"
#include "ui/AboutDialog.h"
#include "ui/MainWindow.h"
#include "ui/Texts.h"
#include "ui/Wording.h"

int main(int argc, char** argv) {
  using namespace kalvane::ui;
  // Answered before the application object, which needs a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kalvane %s\n", KALVANE_VERSION);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "usage: kalvane [PROJECT.vpj]\n"
        "       kalvane --version\n"
        "\n"
        "The Kalvane editor: aligns the photos of a turntable shoot and exports\n"
        "rotating product views. PROJECT.vpj is opened at the start.\n"
        "kalvane-cli does the same work without a window.\n");
    return 0;
  }
  // The template window's embedded browser needs these before the
  // application object; as root its sandbox cannot start.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(KALVANE_VERSION);
  InstallJapanese(app);
  QApplication::setWindowIcon(
      QIcon(QString::fromStdString(kalvane::GetDataFolder() + "icons/kalvane.svg")));
  kalvane::IKInitialize();
  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  TfrmMain window(nullptr, "", arguments);
  // A second editor (fotomill opens one for its project) shows beside the
  // first rather than exactly on top of it.
  const kalvane::qt::TInstanceSlot instance(
      "kalvane", kalvane::PrepareExportTempFolder().Ok() ? kalvane::GetExportTempFolder() : "");
  const auto show = [&window, &instance] {
    window.show();
    const int offset = instance.Offset();
    if (offset > 0) window.move(window.pos() + QPoint(offset, offset));
  };
  // The splash shows for 2.5 s while the event loop runs; tests and
  // scripts skip it.
  if (std::getenv("KALVANE_NO_SPLASH")) {
    show();
  } else {
    auto* splash = new TfrmAbout;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QTimer::singleShot(2500, &window, [splash, &show] {
      splash->close();
      show();
    });
  }
  const int status = QApplication::exec();
  kalvane::IKShutdown();
  return status;
}
