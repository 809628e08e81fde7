#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/device.h"

namespace orvanta {

// One partition of a device that carries a partition table (the dump of a
// whole card, say): a window of `size` bytes from byte `offset` of the
// device, seen as a device of its own. Transfers outside the window fail.
// The file-system name is the one probed at the partition's start.
class PartitionDevice final : public Device {
public:
  PartitionDevice(std::shared_ptr<Device> whole, std::uint64_t offset, std::uint64_t size,
                  std::string fileSystemName);

  void BeginSession(DeviceAccess access) override { whole_->BeginSession(access); }
  bool EndSession() override { return whole_->EndSession(); }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  std::span<const std::uint8_t> Look(std::uint64_t offset, std::size_t length) override {
    if (!Inside(offset, length))
      return {};
    return whole_->Look(offset_ + offset, length);
  }
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::optional<std::uint64_t> SizeBytes() override;
  std::string FileSystemName() override { return fileSystemName_; }
  // A partition of an image is never the system's mounted volume: the mount
  // table names whole devices and whole image files, not windows of them.
  std::optional<std::filesystem::path> MountPoint() override { return std::nullopt; }
  bool RootReachable() override { return whole_->RootReachable(); }
  // Only as writable as the whole: an image mounted anywhere is not written.
  bool WritableExclusively() override { return whole_->WritableExclusively(); }
  bool AccessDenied() const override { return whole_->AccessDenied(); }

  std::uint64_t Offset() const { return offset_; }

private:
  bool Inside(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  std::shared_ptr<Device> whole_;
  std::uint64_t offset_;
  std::uint64_t size_;
  std::string fileSystemName_;
};

} // namespace orvanta
