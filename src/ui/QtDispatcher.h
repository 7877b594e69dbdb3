#pragma once

#include <QObject>

#include "base/Seams.h"

namespace kalvane::ui {

// Runs steps on the GUI thread: a worker's RunSync waits for the step
// (a blocking queued call), Post only queues it. On the GUI thread both run
// the step at once.
class TQtDispatcher : public QObject, public IGuiDispatcher {
  Q_OBJECT
 public:
  explicit TQtDispatcher(QObject* parent = nullptr) : QObject(parent) {}
  void RunSync(const std::function<void()>& step) override;
  void Post(std::function<void()> step) override;
};

}  // namespace kalvane::ui
