#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "qt/QtDispatcher.h"

namespace kalvane::fotomill {

// A worker thread for the window's slow reads (thumbnails, previews), so the
// window keeps answering. A job runs on the worker and returns what to do
// with its result on the GUI thread.
class TWorkQueue {
 public:
  using TJob = std::function<std::function<void()>()>;

  // Results run on the thread that makes the queue.
  TWorkQueue();
  ~TWorkQueue();
  TWorkQueue(const TWorkQueue&) = delete;
  TWorkQueue& operator=(const TWorkQueue&) = delete;

  // Queues the job; with `onlyLatest` it replaces the jobs still waiting
  // (a preview of older settings is of no use).
  void Post(TJob job, bool onlyLatest);
  // Drops the jobs still waiting.
  void Clear();
  // A job waits, runs, or its result has not reached the GUI thread yet.
  bool Busy() const { return Outstanding > 0; }

 private:
  void Loop();

  std::mutex Mutex;
  std::condition_variable Wake;
  std::deque<TJob> Jobs;
  bool Stopping = false;
  std::atomic<int> Outstanding{0};
  // Results not run when the queue goes are dropped with it.
  qt::TQtDispatcher Gui;
  std::thread Worker;
};

}  // namespace kalvane::fotomill
