// A preloaded library that makes one file behave like a slow card reader:
// every read or write of the file named by ORVANTA_SLOW_DEVICE waits 0.2 ms
// plus its length at 25 MB/s before it runs, and every open of that file is
// counted. The file cannot be mapped, for the card it stands for is read, not
// mapped: its reads are what the shim times. At exit one line goes to the file
// ORVANTA_SLOW_DEVICE_REPORT (or to stderr): the opens, the transfers, the
// bytes and the time the device spent. Used by scripts/slow_device.sh.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr double kCallSeconds = 0.0002;
constexpr double kBytesPerSecond = 25e6;
constexpr int kMaxFd = 1 << 16;

std::atomic<bool> tracked[kMaxFd];
std::atomic<long> opens{0}, transfers{0};
std::atomic<long long> bytes{0};
std::atomic<long long> deviceNanoseconds{0};

template <class F> F Real(const char *name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool IsDevice(const char *path) {
  static const char *device = std::getenv("ORVANTA_SLOW_DEVICE");
  return device && path && std::strcmp(path, device) == 0;
}

void Track(int fd, const char *path) {
  if (fd < 0 || fd >= kMaxFd)
    return;
  const bool device = IsDevice(path);
  tracked[fd] = device;
  if (device)
    ++opens;
}

bool Tracked(int fd) { return fd >= 0 && fd < kMaxFd && tracked[fd]; }

// The device's time for one transfer.
void Wait(std::size_t length) {
  const double seconds = kCallSeconds + double(length) / kBytesPerSecond;
  const auto ns = static_cast<long long>(seconds * 1e9);
  timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &t, &t) == EINTR) {
  }
  ++transfers;
  bytes += static_cast<long long>(length);
  deviceNanoseconds += ns;
}

mode_t ModeOf(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

struct Report {
  ~Report() {
    char line[200];
    std::snprintf(line, sizeof line, "opens=%ld transfers=%ld MiB=%.1f device_s=%.2f\n",
                  opens.load(), transfers.load(), double(bytes.load()) / 1048576.0,
                  double(deviceNanoseconds.load()) / 1e9);
    const char *path = std::getenv("ORVANTA_SLOW_DEVICE_REPORT");
    const int fd = path ? Real<int (*)(const char *, int, ...)>("open")(
                              path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
                        : 2;
    if (fd >= 0) {
      [[maybe_unused]] const auto n = ::write(fd, line, std::strlen(line));
      if (fd != 2)
        ::close(fd);
    }
  }
} report;

} // namespace

extern "C" {

int open(const char *path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  const int fd = Real<int (*)(const char *, int, ...)>("open")(path, flags, mode);
  Track(fd, path);
  return fd;
}

int open64(const char *path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  const int fd = Real<int (*)(const char *, int, ...)>("open64")(path, flags, mode);
  Track(fd, path);
  return fd;
}

int openat(int dir, const char *path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  const int fd = Real<int (*)(int, const char *, int, ...)>("openat")(dir, path, flags, mode);
  Track(fd, path);
  return fd;
}

int openat64(int dir, const char *path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  const int fd = Real<int (*)(int, const char *, int, ...)>("openat64")(dir, path, flags, mode);
  Track(fd, path);
  return fd;
}

// dd opens its input and moves it onto descriptor 0.
int dup2(int fd, int to) {
  const int result = Real<int (*)(int, int)>("dup2")(fd, to);
  if (result >= 0 && result < kMaxFd)
    tracked[result] = Tracked(fd);
  return result;
}

int dup3(int fd, int to, int flags) {
  const int result = Real<int (*)(int, int, int)>("dup3")(fd, to, flags);
  if (result >= 0 && result < kMaxFd)
    tracked[result] = Tracked(fd);
  return result;
}

int close(int fd) {
  if (fd >= 0 && fd < kMaxFd)
    tracked[fd] = false;
  return Real<int (*)(int)>("close")(fd);
}

ssize_t read(int fd, void *buffer, size_t length) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, void *, size_t)>("read")(fd, buffer, length);
}

ssize_t write(int fd, const void *buffer, size_t length) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, const void *, size_t)>("write")(fd, buffer, length);
}

ssize_t pread(int fd, void *buffer, size_t length, off_t offset) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, void *, size_t, off_t)>("pread")(fd, buffer, length, offset);
}

ssize_t pread64(int fd, void *buffer, size_t length, off64_t offset) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, void *, size_t, off64_t)>("pread64")(fd, buffer, length, offset);
}

ssize_t pwrite(int fd, const void *buffer, size_t length, off_t offset) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, const void *, size_t, off_t)>("pwrite")(fd, buffer, length, offset);
}

ssize_t pwrite64(int fd, const void *buffer, size_t length, off64_t offset) {
  if (Tracked(fd))
    Wait(length);
  return Real<ssize_t (*)(int, const void *, size_t, off64_t)>("pwrite64")(fd, buffer, length,
                                                                          offset);
}

void *mmap(void *at, size_t length, int protection, int flags, int fd, off_t offset) {
  if (Tracked(fd)) {
    errno = ENODEV;
    return MAP_FAILED;
  }
  return Real<void *(*)(void *, size_t, int, int, int, off_t)>("mmap")(at, length, protection,
                                                                     flags, fd, offset);
}

void *mmap64(void *at, size_t length, int protection, int flags, int fd, off64_t offset) {
  if (Tracked(fd)) {
    errno = ENODEV;
    return MAP_FAILED;
  }
  return Real<void *(*)(void *, size_t, int, int, int, off64_t)>("mmap64")(at, length, protection,
                                                                         flags, fd, offset);
}

} // extern "C"
