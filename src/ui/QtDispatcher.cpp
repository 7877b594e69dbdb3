#include "ui/QtDispatcher.h"

#include <QThread>

namespace kalvane::ui {

void TQtDispatcher::RunSync(const std::function<void()>& step) {
  if (QThread::currentThread() == thread()) {
    step();
    return;
  }
  QMetaObject::invokeMethod(
      this, [&step] { step(); }, Qt::BlockingQueuedConnection);
}

void TQtDispatcher::Post(std::function<void()> step) {
  if (QThread::currentThread() == thread()) {
    step();
    return;
  }
  QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

}  // namespace kalvane::ui
