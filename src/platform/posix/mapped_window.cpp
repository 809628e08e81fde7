#include "platform/posix/mapped_window.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22
#endif

namespace orvanta {
namespace {

// How much of the file one mapping covers: large enough that the mapping's
// own cost is spread thin, small enough to leave the address space alone
// on a 64 GB image.
constexpr std::size_t kWindowBytes = std::size_t{64} << 20;

// The windows mapped right now, for the bus-error handler to tell its own
// faults from others'. A window that finds no free record is not mapped.
struct GuardedRange {
  std::atomic<std::uintptr_t> Begin{0};
  std::atomic<std::uintptr_t> End{0};
  std::atomic<bool> Damaged{false};
  std::atomic<bool> Taken{false};
};
std::array<GuardedRange, 16> guarded;
std::uintptr_t pageBytes = 4096;
struct sigaction previousBusHandler {};

void OnBusError(int signal, siginfo_t *info, void *context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (auto &range : guarded) {
    if (at < range.Begin.load(std::memory_order_acquire) ||
        at >= range.End.load(std::memory_order_acquire))
      continue;
    // A zero page over the lost one: the touch that faulted reads zeros
    // when the handler returns.
    void *page = reinterpret_cast<void *>(at & ~(pageBytes - 1));
    if (::mmap(page, pageBytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      range.Damaged.store(true, std::memory_order_release);
      return;
    }
    break;
  }
  // Not a fault of ours: whoever handled bus errors before does.
  if (previousBusHandler.sa_flags & SA_SIGINFO) {
    previousBusHandler.sa_sigaction(signal, info, context);
  } else if (previousBusHandler.sa_handler != SIG_DFL && previousBusHandler.sa_handler != SIG_IGN) {
    previousBusHandler.sa_handler(signal);
  } else {
    // The fault repeats on return and ends the program as it would have.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &fallback, nullptr);
  }
}

bool InstallBusGuard() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0)
      pageBytes = static_cast<std::uintptr_t>(page);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    installed = ::sigaction(SIGBUS, &action, &previousBusHandler) == 0;
  });
  return installed;
}

int TakeRecord() {
  for (std::size_t i = 0; i < guarded.size(); ++i) {
    bool free = false;
    if (guarded[i].Taken.compare_exchange_strong(free, true))
      return static_cast<int>(i);
  }
  return -1;
}

} // namespace

std::span<const std::uint8_t> MappedWindow::Look(int fd, std::uint64_t fileSize,
                                                 std::uint64_t offset, std::size_t length) {
  if (damaged_ || Damaged() || length == 0 || offset > fileSize || length > fileSize - offset)
    return {};
  if (!base_ || offset < start_ || offset + length > start_ + size_) {
    Release();
    if (!InstallBusGuard() || (slot_ = TakeRecord()) < 0)
      return {};
    start_ = offset / pageBytes * pageBytes;
    size_ = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(kWindowBytes, offset + length - start_), fileSize - start_));
    void *at = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(start_));
    if (at == MAP_FAILED) {
      guarded[std::size_t(slot_)].Taken.store(false);
      slot_ = -1;
      size_ = 0;
      return {};
    }
    base_ = static_cast<std::uint8_t *>(at);
    auto &range = guarded[std::size_t(slot_)];
    range.Damaged.store(false, std::memory_order_release);
    range.End.store(reinterpret_cast<std::uintptr_t>(base_) + size_, std::memory_order_release);
    range.Begin.store(reinterpret_cast<std::uintptr_t>(base_), std::memory_order_release);
  }
  // Fault the pages in now: past the end of a file cut short this fails
  // where a touch would raise SIGBUS. A kernel without the advice leaves
  // the pages to be faulted in by the touches, under the guard.
  std::uint8_t *first = base_ + (offset - start_);
  auto *page = reinterpret_cast<std::uint8_t *>(reinterpret_cast<std::uintptr_t>(first) &
                                                ~(pageBytes - 1));
  if (::madvise(page, std::size_t(first + length - page), MADV_POPULATE_READ) != 0 &&
      errno != EINVAL) {
    damaged_ = true;
    Release();
    return {};
  }
  return {first, length};
}

bool MappedWindow::Damaged() const {
  return slot_ >= 0 && guarded[std::size_t(slot_)].Damaged.load(std::memory_order_acquire);
}

void MappedWindow::Release() {
  if (slot_ >= 0) {
    if (guarded[std::size_t(slot_)].Damaged.load(std::memory_order_acquire))
      damaged_ = true;
    auto &range = guarded[std::size_t(slot_)];
    range.Begin.store(0, std::memory_order_release);
    range.End.store(0, std::memory_order_release);
    range.Taken.store(false, std::memory_order_release);
    slot_ = -1;
  }
  if (base_)
    ::munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
}

} // namespace orvanta
