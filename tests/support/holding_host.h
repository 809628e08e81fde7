#pragma once

#include <atomic>
#include <thread>

#include "presentation/batching_host.h"

namespace orvanta::test {

// Holds the operation at its first pump after something was counted, until
// a question is open (the front end asks "Cancel operation?").
class HoldingHost final : public BatchingHost {
public:
  void SetCounter(std::int64_t value) override {
    if (value > 0)
      counted_ = true;
    BatchingHost::SetCounter(value);
  }
  void Pump() override {
    if (counted_ && !held_.exchange(true)) {
      Waiting = true;
      while (!Question().IsOpen())
        std::this_thread::yield();
    }
    BatchingHost::Pump();
  }
  std::atomic<bool> Waiting{false};

private:
  std::atomic<bool> counted_{false};
  std::atomic<bool> held_{false};
};

} // namespace orvanta::test
