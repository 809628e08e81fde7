#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvanta {

// A read-only window of an image file mapped into memory, so that a long
// sequential look at the image reads the page cache in place instead of
// copying it out. The window slides along with the looks; one window is
// mapped at a time.
//
// A file cut short while it is mapped would raise SIGBUS on the first
// touch of a page past its new end. The pages a look returns are faulted
// in before it returns, and a look that cannot have them all returns
// nothing, so that the caller reads instead and sees the short file as a
// failed read. Should the file be cut in the moment between the look and
// the touch, the bus error is caught: the page reads as zeros, as a failed
// read leaves it, and the window gives no further looks.
class MappedWindow {
public:
  MappedWindow() = default;
  ~MappedWindow() { Release(); }
  MappedWindow(const MappedWindow &) = delete;
  MappedWindow &operator=(const MappedWindow &) = delete;

  // The bytes [offset, offset + length) of the open file `fd`, which was
  // `fileSize` bytes long when measured; empty when they cannot be looked
  // at in place. They stay valid until the next Look or Release.
  std::span<const std::uint8_t> Look(int fd, std::uint64_t fileSize, std::uint64_t offset,
                                     std::size_t length);

  // Unmaps the window.
  void Release();

  // Unmaps the window and forgets a damage seen: a new session may look again.
  void Reset() {
    Release();
    damaged_ = false;
  }

  // Whether a page of the window was lost to a file cut short under it.
  bool Damaged() const;

private:
  std::uint8_t *base_ = nullptr;
  std::size_t size_ = 0;
  std::uint64_t start_ = 0; // file offset of base_
  int slot_ = -1;           // the bus-error guard's record of the window
  bool damaged_ = false;    // a look found pages missing; no more looks
};

} // namespace orvanta
