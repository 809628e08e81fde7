#include "platform/memory_device.h"

#include <algorithm>
#include <cstring>

namespace orvanta {

MemoryDevice::MemoryDevice(std::vector<std::uint8_t> image, std::uint32_t sectorSize)
    : image_(std::move(image)), sectorSize_(sectorSize ? sectorSize : 512) {}

void MemoryDevice::FailReads(std::uint64_t firstSector, std::uint64_t lastSector) {
  readFaults_.push_back({firstSector, lastSector});
}

void MemoryDevice::FailWrites(std::uint64_t firstSector, std::uint64_t lastSector) {
  writeFaults_.push_back({firstSector, lastSector});
}

void MemoryDevice::BeginSession(DeviceAccess access) {
  session_ = access;
  open_ = false;
}

bool MemoryDevice::EndSession() {
  const bool flushed = !(failFlushes_ && sessionWrote_);
  session_.reset();
  sessionWrote_ = false;
  open_ = false;
  return flushed;
}

bool MemoryDevice::Opened() {
  if (session_ && open_)
    return true;
  ++opens_;
  if (denied_ || Vanished())
    return false;
  open_ = session_.has_value();
  return true;
}

std::optional<std::uint64_t> MemoryDevice::SizeBytes() {
  if (!Opened())
    return std::nullopt;
  return image_.size();
}

bool MemoryDevice::Aligned(std::uint64_t offset, std::uint64_t length) const {
  return offset % sectorSize_ == 0 && length % sectorSize_ == 0 && offset <= image_.size() &&
         length <= image_.size() - offset;
}

// A transfer the device refuses without trying it (partial sectors, past
// the end) leaves a session open; one that fails on the medium closes it.
bool MemoryDevice::Transferable(std::uint64_t offset, std::uint64_t length,
                                const std::vector<Range> &faults) {
  if (!Opened())
    return false;
  if (Vanished()) {
    open_ = false;
    return false;
  }
  if (!Aligned(offset, length))
    return false;
  if (length == 0)
    return true;
  const std::uint64_t first = offset / sectorSize_;
  const std::uint64_t last = (offset + length) / sectorSize_ - 1;
  const bool failed = std::any_of(faults.begin(), faults.end(), [&](const Range &r) {
    return r.first <= last && first <= r.last;
  });
  if (failed)
    open_ = false;
  return !failed;
}

bool MemoryDevice::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
  const bool ok = Transferable(offset, out.size(), readFaults_);
  ++reads_;
  if (!ok)
    return false;
  if (!out.empty())
    std::memcpy(out.data(), image_.data() + offset, out.size());
  return true;
}

bool MemoryDevice::Write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  const bool ok = writable_ && Transferable(offset, data.size(), writeFaults_);
  ++writes_;
  if (!ok)
    return false;
  if (!data.empty())
    std::memcpy(image_.data() + offset, data.data(), data.size());
  ++written_;
  sessionWrote_ = session_.has_value();
  return true;
}

} // namespace orvanta
