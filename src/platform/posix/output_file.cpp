#include "platform/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {
namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;

} // namespace

OutputFile::OutputFile(int fd) : fd_(fd) {}

OutputFile::OutputFile(OutputFile &&other) noexcept
    : fd_(other.fd_), error_(other.error_), buffer_(std::move(other.buffer_)),
      modificationTime_(other.modificationTime_) {
  other.fd_ = -1;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0)
    ::close(fd_);
}

bool OutputFile::WriteThrough(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (error_ == 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      error_ = errno;
    else if (n == 0)
      error_ = EIO;
    else
      done += static_cast<std::size_t>(n);
  }
  return error_ == 0;
}

bool OutputFile::Flush() {
  const bool ok = WriteThrough(buffer_);
  buffer_.clear();
  return ok;
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0 || error_ != 0)
    return false;
  while (!bytes.empty()) {
    if (buffer_.empty() && bytes.size() >= kBufferBytes)
      return WriteThrough(bytes);
    if (buffer_.capacity() < kBufferBytes)
      buffer_.reserve(kBufferBytes);
    const std::size_t room = kBufferBytes - buffer_.size();
    const std::size_t take = bytes.size() < room ? bytes.size() : room;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    if (buffer_.size() == kBufferBytes && !Flush())
      return false;
  }
  return true;
}

bool OutputFile::Close() {
  if (fd_ < 0)
    return error_ == 0;
  Flush();
  if (error_ == 0 && modificationTime_) {
    // The access time is left as it is; a failure here loses only the date.
    const timespec times[2] = {{0, UTIME_OMIT}, {*modificationTime_, 0}};
    ::futimens(fd_, times);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error_ == 0 && errno != EINTR)
    error_ = errno;
  return error_ == 0;
}

std::optional<OutputFile> OpenOutputFile(const std::filesystem::path &path) {
  // unlink leaves folders alone, as a file deletion does.
  ::unlink(path.c_str());
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return OutputFile(fd);
}

} // namespace orvanta
