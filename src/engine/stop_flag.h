#pragma once

#include <atomic>

namespace orvanta {

// The Stop button of a front end. The front end clears it before it starts
// an operation and raises it when the user confirms Stop; the engine only
// reads it, so a Stop raised before the operation starts, or from another
// thread while it runs, is never lost.
class StopFlag {
public:
  void Reset() { requested_.store(false, std::memory_order_release); }
  void Request() { requested_.store(true, std::memory_order_release); }
  bool Requested() const { return requested_.load(std::memory_order_acquire); }

private:
  std::atomic<bool> requested_{false};
};

} // namespace orvanta
