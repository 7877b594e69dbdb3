#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "base/Seams.h"

namespace kalvane::test {

// A GUI thread for tests: the thread that made the dispatcher runs the
// steps other threads hand it, when it pumps, as an event loop does.
class THoppingDispatcher : public IGuiDispatcher {
 public:
  THoppingDispatcher() : Gui(std::this_thread::get_id()) {}
  bool OnGuiThread() const { return std::this_thread::get_id() == Gui; }

  void RunSync(const std::function<void()>& step) override {
    if (OnGuiThread()) {
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
  void Post(std::function<void()> step) override {
    if (OnGuiThread()) {
      step();
    } else {
      Push(std::move(step));
    }
  }
  // Runs the steps handed over, waiting for more, until `done` holds.
  void PumpUntil(const std::function<bool()>& done) {
    while (!done()) {
      std::function<void()> step;
      {
        std::unique_lock<std::mutex> lock(Mutex);
        Ready.wait(lock, [this] { return !Steps.empty(); });
        step = std::move(Steps.front());
        Steps.pop_front();
      }
      step();
    }
  }

 private:
  void Push(std::function<void()> step) {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      Steps.push_back(std::move(step));
    }
    Ready.notify_one();
  }
  std::thread::id Gui;
  std::mutex Mutex;
  std::condition_variable Ready;
  std::deque<std::function<void()>> Steps;
};

}  // namespace kalvane::test
