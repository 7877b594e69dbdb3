#include "fotomill/WorkQueue.h"

namespace kalvane::fotomill {

TWorkQueue::TWorkQueue() = default;

TWorkQueue::~TWorkQueue() {
  {
    std::lock_guard lock(Mutex);
    Stopping = true;
    Jobs.clear();
  }
  Wake.notify_all();
  if (Worker.joinable()) Worker.join();
}

void TWorkQueue::Post(TJob job, bool onlyLatest) {
  {
    std::lock_guard lock(Mutex);
    if (onlyLatest) {
      Outstanding -= static_cast<int>(Jobs.size());
      Jobs.clear();
    }
    Jobs.push_back(std::move(job));
    ++Outstanding;
    if (!Worker.joinable()) Worker = std::thread([this] { Loop(); });
  }
  Wake.notify_one();
}

void TWorkQueue::Clear() {
  std::lock_guard lock(Mutex);
  Outstanding -= static_cast<int>(Jobs.size());
  Jobs.clear();
}

void TWorkQueue::Loop() {
  for (;;) {
    TJob job;
    {
      std::unique_lock lock(Mutex);
      Wake.wait(lock, [this] { return Stopping || !Jobs.empty(); });
      if (Stopping) return;
      job = std::move(Jobs.front());
      Jobs.pop_front();
    }
    std::function<void()> done = job();
    Gui.Post([this, done = std::move(done)] {
      if (done) done();
      --Outstanding;
    });
  }
}

}  // namespace kalvane::fotomill
