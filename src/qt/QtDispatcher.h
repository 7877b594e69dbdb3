#pragma once

#include <QObject>
#include <deque>
#include <mutex>

#include "base/Seams.h"

namespace kalvane::qt {

// Runs steps on the GUI thread: a worker's RunSync waits for the step,
// Post only queues it. On the GUI thread both run the step at once.
// The steps travel through a queue of our own under our own lock; Qt's
// event only wakes the GUI thread to run them.
class TQtDispatcher : public QObject, public IGuiDispatcher {
  Q_OBJECT
 public:
  explicit TQtDispatcher(QObject* parent = nullptr) : QObject(parent) {}
  void RunSync(const std::function<void()>& step) override;
  void Post(std::function<void()> step) override;

 protected:
  bool event(QEvent* event) override;

 private:
  void Push(std::function<void()> step);
  std::mutex QueueLock;
  std::deque<std::function<void()>> Queue;
};

}  // namespace kalvane::qt
