#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "presentation/dispatcher.h"

namespace orvanta::test {

// The front end's thread played by the test's: posted tasks wait until the
// test runs them.
class QueuedDispatcher final : public Dispatcher {
public:
  void Post(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }
  // Runs the tasks posted so far and those they post; the number run.
  int RunPending() {
    int ran = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty())
          return ran;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
      ++ran;
    }
  }
  // Runs tasks as they come until `done` holds.
  void RunUntil(const std::function<bool()> &done) {
    while (!done()) {
      if (RunPending() == 0) {
        std::unique_lock lock(mutex_);
        posted_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !tasks_.empty(); });
      }
    }
  }
  std::size_t Waiting() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

} // namespace orvanta::test
