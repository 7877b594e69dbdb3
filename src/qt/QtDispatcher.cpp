#include "qt/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <future>

namespace kalvane::qt {

namespace {
const QEvent::Type kRunSteps = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

void TQtDispatcher::RunSync(const std::function<void()>& step) {
  if (QThread::currentThread() == thread()) {
    step();
    return;
  }
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  Push([&] {
    try {
      step();
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  finished.get();
}

void TQtDispatcher::Post(std::function<void()> step) {
  if (QThread::currentThread() == thread()) {
    step();
    return;
  }
  Push(std::move(step));
}

void TQtDispatcher::Push(std::function<void()> step) {
  {
    std::lock_guard<std::mutex> lock(QueueLock);
    Queue.push_back(std::move(step));
  }
  QCoreApplication::postEvent(this, new QEvent(kRunSteps));
}

bool TQtDispatcher::event(QEvent* e) {
  if (e->type() != kRunSteps) return QObject::event(e);
  for (;;) {
    std::function<void()> step;
    {
      std::lock_guard<std::mutex> lock(QueueLock);
      if (Queue.empty()) return true;
      step = std::move(Queue.front());
      Queue.pop_front();
    }
    step();
  }
}

}  // namespace kalvane::qt
