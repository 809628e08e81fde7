#pragma once

#include <utility>
#include <windows.h>

namespace orvanta {

// An owned handle of a file or device, closed when dropped. Both
// INVALID_HANDLE_VALUE and null count as none.
class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle &&other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle &operator=(UniqueHandle &&other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle &) = delete;
  UniqueHandle &operator=(const UniqueHandle &) = delete;
  ~UniqueHandle() { Close(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

  // Closes the handle; false when closing reported a failure.
  bool Close() {
    if (!*this)
      return true;
    const BOOL closed = ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    return closed != FALSE;
  }

private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace orvanta
