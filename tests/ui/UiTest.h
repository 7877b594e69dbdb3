#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <string>

#include "Pump.h"
#include "ScriptedWindowDialogs.h"
#include "TestImages.h"
#include "ui/MainWindow.h"

namespace kalvane::test {

// Mouse events sent straight to the widget under the pointer, as a real
// press, move and release reach it.
inline void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button,
                  Qt::MouseButtons held) {
  QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}
inline void Press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
  Mouse(w, QEvent::MouseButtonPress, p, b, b);
}
inline void Move(QWidget* w, QPoint p) {
  Mouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPoint p) {
  Mouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// A click at the middle of `w`, pressed and released there.
inline void Click(QWidget* w) {
  const QPoint middle = w->rect().center();
  Press(w, middle);
  Release(w, middle);
}

// A main window over a folder of its own, its questions answered from a
// script; a test class derives and opens one in init().
struct TWindowFixture {
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<TScriptedWindowDialogs> dialogs;
  std::unique_ptr<ui::TfrmMain> window;

  void Open(bool show) {
    dir = std::make_unique<TempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir->File("config")));
    dialogs = std::make_unique<TScriptedWindowDialogs>();
    window = std::make_unique<ui::TfrmMain>(dialogs.get(), dir->File("velinit"));
    if (!show) return;
    window->resize(900, 700);
    window->show();
    QCoreApplication::processEvents();
  }
  void Close() {
    window.reset();
    dialogs.reset();
    dir.reset();
  }
  void WaitForLoader() {
    PumpUntil([this] { return !window->LoaderRunning(); }, "the loader");
  }
};

}  // namespace kalvane::test

// Offscreen, with the embedded browser allowed to start as root.
#define KALVANE_UI_TEST_MAIN(TestClass)                         \
  int main(int argc, char** argv) {                             \
    qputenv("QT_QPA_PLATFORM", "offscreen");                    \
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                \
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); \
    QApplication app(argc, argv);                               \
    TestClass test;                                             \
    return QTest::qExec(&test, argc, argv);                     \
  }
