#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <chrono>
#include <stdexcept>
#include <string>

namespace kalvane::test {

// Runs the event loop until `done` holds: the loaders and exports hand
// their steps to this thread, so each wait ends with their work. A wait
// that outlasts `limit` fails the test, saying what it waited for.
template <typename F>
void PumpUntil(F done, const char* what = "the work to end",
               std::chrono::seconds limit = std::chrono::seconds(120)) {
  const QDeadlineTimer deadline(limit);
  QTimer wake;  // looks at the deadline even when nothing else happens
  wake.start(500);
  while (!done()) {
    if (deadline.hasExpired()) throw std::runtime_error(std::string("gave up waiting for ") + what);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace kalvane::test
