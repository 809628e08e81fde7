#include "platform/partition_device.h"

#include <algorithm>

namespace orvanta {

PartitionDevice::PartitionDevice(std::shared_ptr<Device> whole, std::uint64_t offset,
                                 std::uint64_t size, std::string fileSystemName)
    : whole_(std::move(whole)), offset_(offset), size_(size),
      fileSystemName_(std::move(fileSystemName)) {}

bool PartitionDevice::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
  return Inside(offset, out.size()) && whole_->Read(offset_ + offset, out);
}

bool PartitionDevice::Write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  return Inside(offset, data.size()) && whole_->Write(offset_ + offset, data);
}

std::optional<std::uint64_t> PartitionDevice::SizeBytes() {
  const auto whole = whole_->SizeBytes();
  if (!whole)
    return std::nullopt;
  // A table may claim more than the dump holds.
  return offset_ >= *whole ? 0 : std::min(size_, *whole - offset_);
}

} // namespace orvanta
