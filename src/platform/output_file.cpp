#include "platform/output_file.h"

// What the output file does the same on every system: the buffer in front of
// the system's writes. Opening, the writes themselves, closing and naming are
// each system's own.
namespace orvanta {
namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;

} // namespace

OutputFile::OutputFile(int fd, std::filesystem::path folder, std::filesystem::path temporary)
    : fd_(fd), folder_(std::move(folder)), temporary_(std::move(temporary)) {}

OutputFile::OutputFile(OutputFile &&other) noexcept
    : fd_(other.fd_), error_(other.error_), named_(other.named_), folder_(std::move(other.folder_)),
      temporary_(std::move(other.temporary_)), buffer_(std::move(other.buffer_)),
      modificationTime_(other.modificationTime_) {
  other.fd_ = -1;
  other.named_ = true; // nothing left for the moved-from file to remove
}

OutputFile::~OutputFile() { Discard(); }

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

} // namespace orvanta
