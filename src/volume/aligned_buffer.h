#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>

namespace orvanta {

// An owned, zero-filled byte buffer that starts on a page boundary. The
// kernel copies into such a buffer about twice as fast as into one that
// starts a few bytes past a boundary, as a vector's storage does; the large
// transfers of the scans and the wipe use it.
class AlignedBuffer {
public:
  static constexpr std::size_t kAlignment = 4096;

  AlignedBuffer() = default;
  explicit AlignedBuffer(std::size_t size) { Resize(size); }

  // Makes room for `size` bytes, all zero; the old contents are gone.
  void Resize(std::size_t size) {
    if (size > capacity_) {
      bytes_.reset(static_cast<std::uint8_t *>(
          ::operator new(size, std::align_val_t{kAlignment})));
      capacity_ = size;
    }
    size_ = size;
    if (size_ > 0)
      std::memset(bytes_.get(), 0, size_);
  }

  std::uint8_t *data() { return bytes_.get(); }
  const std::uint8_t *data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  std::span<std::uint8_t> Span() { return {bytes_.get(), size_}; }
  std::span<const std::uint8_t> Span() const { return {bytes_.get(), size_}; }

private:
  struct Free {
    void operator()(std::uint8_t *p) const { ::operator delete(p, std::align_val_t{kAlignment}); }
  };
  std::unique_ptr<std::uint8_t, Free> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

} // namespace orvanta
