#include "engine/question_gate.h"

namespace orvanta {

void QuestionGate::Open() {
  std::lock_guard lock(mutex_);
  open_.store(true, std::memory_order_release);
}

void QuestionGate::Close() {
  {
    std::lock_guard lock(mutex_);
    open_.store(false, std::memory_order_release);
  }
  closed_.notify_all();
}

void QuestionGate::WaitWhileOpen() {
  // The common case, many times per second, takes no lock.
  if (!open_.load(std::memory_order_acquire))
    return;
  std::unique_lock lock(mutex_);
  waiting_.fetch_add(1, std::memory_order_acq_rel);
  closed_.wait(lock, [&] { return !open_.load(std::memory_order_acquire); });
  waiting_.fetch_sub(1, std::memory_order_acq_rel);
}

} // namespace orvanta
