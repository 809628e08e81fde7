#include "platform/output_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {
namespace {

// Random hexadecimal digits for a temporary name.
std::string RandomPart() {
  static thread_local std::mt19937_64 random{std::random_device{}() ^
                                             (std::uint64_t(::getpid()) << 32)};
  constexpr char kDigits[] = "0123456789abcdef";
  std::string part(12, '0');
  for (char &c : part)
    c = kDigits[random() % 16];
  return part;
}

// Errors that say the file system cannot do this kind of naming at all,
// rather than that this name cannot be had.
bool NotSupported(int error) {
  return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP ||
         error == EPERM || error == EMLINK || error == EXDEV;
}

} // namespace

void OutputFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!named_) {
    ::unlink(temporary_.c_str());
    named_ = true;
  }
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

OutputFile::Naming OutputFile::Name(const std::string &name) {
  if (named_ || fd_ >= 0 || error_ != 0) {
    if (error_ == 0)
      error_ = EINVAL;
    return Naming::Failed;
  }
  const std::filesystem::path target = folder_ / name;
  auto named = [&] {
    named_ = true;
    temporary_.clear();
    return Naming::Named;
  };
  auto failed = [&](int error) {
    error_ = error;
    return Naming::Failed;
  };
  // A rename that refuses to replace; where the file system cannot do that,
  // a second link that cannot replace either; where it has no links, the
  // name is first taken by an empty file made for the purpose, then the
  // file is renamed onto that one.
  if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return named();
  if (errno == EEXIST)
    return Naming::Taken;
  if (!NotSupported(errno))
    return failed(errno);
  if (::link(temporary_.c_str(), target.c_str()) == 0) {
    ::unlink(temporary_.c_str());
    return named();
  }
  if (errno == EEXIST)
    return Naming::Taken;
  if (!NotSupported(errno))
    return failed(errno);
  const int placeholder =
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (placeholder < 0)
    return errno == EEXIST ? Naming::Taken : failed(errno);
  ::close(placeholder);
  if (::rename(temporary_.c_str(), target.c_str()) == 0)
    return named();
  const int error = errno;
  ::unlink(target.c_str());
  return failed(error);
}

std::optional<OutputFile> CreateOutputFile(const std::filesystem::path &folder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path temporary = folder / (".orvanta-" + RandomPart() + ".part");
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0)
      return OutputFile(fd, folder, std::move(temporary));
    if (errno != EEXIST && errno != EINTR)
      return std::nullopt;
  }
  errno = EEXIST;
  return std::nullopt;
}

std::optional<std::filesystem::path> MakePrivateFolder(const std::filesystem::path &parent) {
  std::string pattern = (parent / "orvanta-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    return std::nullopt;
  return std::filesystem::path(pattern);
}

} // namespace orvanta
