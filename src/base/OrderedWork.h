#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <thread>

namespace kalvane {

// Runs independent jobs on up to `workers` threads and hands their results
// back one at a time in the order the jobs were given, so lists and
// progress stay in order while the work runs on every core.
template <typename Result>
class TOrderedWork {
 public:
  explicit TOrderedWork(std::size_t workers = DefaultWorkers())
      : Workers(std::max<std::size_t>(workers, 1)) {}
  ~TOrderedWork() {
    for (auto& job : Pending) {
      if (job.valid()) job.wait();
    }
  }

  static std::size_t DefaultWorkers() {
    return std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
  }

  // Queues a job. When `workers` jobs are running, the oldest is finished
  // first and its result goes to `deliver` (on this thread).
  void Add(std::function<Result()> job, const std::function<void(Result)>& deliver) {
    if (Pending.size() >= Workers) DeliverOldest(deliver);
    Pending.push_back(std::async(std::launch::async, std::move(job)));
  }
  // Delivers every outstanding result in order.
  void Finish(const std::function<void(Result)>& deliver) {
    while (!Pending.empty())
      DeliverOldest(deliver);
  }

 private:
  void DeliverOldest(const std::function<void(Result)>& deliver) {
    std::future<Result> job = std::move(Pending.front());
    Pending.pop_front();
    deliver(job.get());
  }
  std::size_t Workers;
  std::deque<std::future<Result>> Pending;
};

}  // namespace kalvane
