#pragma once

#include <atomic>

namespace orvanta {

// Whether an operation (a drive summary, Find, Wipe, a restore, a preview)
// runs on an engine's state. One operation at a time: a second one that
// starts while the first runs, from whatever thread, is refused.
class OperationLock {
public:
  bool Busy() const { return busy_.load(std::memory_order_acquire); }

private:
  friend class OperationGuard;
  std::atomic<bool> busy_{false};
};

// Takes the lock for its lifetime when it is free; converts to false when
// another operation holds it, and then releases nothing.
class OperationGuard {
public:
  OperationGuard() = default; // holds nothing
  explicit OperationGuard(OperationLock &lock) {
    bool expected = false;
    if (lock.busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel))
      lock_ = &lock;
  }
  ~OperationGuard() { Release(); }
  OperationGuard(OperationGuard &&other) noexcept : lock_(other.lock_) { other.lock_ = nullptr; }
  OperationGuard &operator=(OperationGuard &&other) noexcept {
    if (this != &other) {
      Release();
      lock_ = other.lock_;
      other.lock_ = nullptr;
    }
    return *this;
  }
  OperationGuard(const OperationGuard &) = delete;
  OperationGuard &operator=(const OperationGuard &) = delete;

  explicit operator bool() const { return lock_ != nullptr; }

  void Release() {
    if (lock_)
      lock_->busy_.store(false, std::memory_order_release);
    lock_ = nullptr;
  }

private:
  OperationLock *lock_ = nullptr;
};

} // namespace orvanta
