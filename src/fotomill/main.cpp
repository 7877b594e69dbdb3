// fotomill: prepares a shoot for Kalvane. Without arguments the window,
// with them the command line.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>
#include <string_view>

#include "base/AppUtil.h"
#include "fotomill/CommandLine.h"
#include "fotomill/FotomillWindow.h"
#include "imaging/ImageKit.h"
#include "qt/InstanceSlot.h"

int main(int argc, char** argv) {
  using namespace kalvane::fotomill;
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "fotomill " << KALVANE_VERSION << "\n";
    return 0;
  }
  kalvane::IKInitialize();
  if (argc > 1) return RunCommandLine({argv + 1, argv + argc}, std::cout, std::cerr);
  QApplication app(argc, argv);
  // Qt's own words (dialog buttons) in Japanese too.
  QTranslator qt;
  if (qt.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qt);
  QApplication::setWindowIcon(
      QIcon(QString::fromStdString(kalvane::GetDataFolder() + "icons/kalvane.svg")));
  TQtFotomillDialogs dialogs;
  TfrmFotomill window(&dialogs);
  dialogs.SetOwner(&window);
  // A second window beside the first, not on top of it.
  const kalvane::qt::TInstanceSlot instance(
      "fotomill", kalvane::PrepareExportTempFolder().Ok() ? kalvane::GetExportTempFolder() : "");
  window.show();
  if (const int offset = instance.Offset(); offset > 0)
    window.move(window.pos() + QPoint(offset, offset));
  return QApplication::exec();
}
