// fotomill: prepares a shoot for Kalvane. Without arguments the window,
// with them the command line.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>

#include "fotomill/CommandLine.h"
#include "fotomill/FotomillWindow.h"
#include "imaging/ImageKit.h"

int main(int argc, char** argv) {
  using namespace kalvane::fotomill;
  kalvane::IKInitialize();
  if (argc > 1) return RunCommandLine({argv + 1, argv + argc}, std::cout, std::cerr);
  QApplication app(argc, argv);
  // Qt's own words (dialog buttons) in Japanese too.
  QTranslator qt;
  if (qt.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qt);
  QApplication::setWindowIcon(QIcon(QApplication::applicationDirPath() + "/icons/kalvane.svg"));
  TQtFotomillDialogs dialogs;
  TfrmFotomill window(&dialogs);
  dialogs.SetOwner(&window);
  window.show();
  return QApplication::exec();
}
