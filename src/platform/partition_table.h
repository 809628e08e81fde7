#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"

namespace orvanta {

// One partition as a table gives it.
struct PartitionEntry {
  int Number = 0;           // as the table numbers it, from 1; logical MBR partitions from 5
  std::uint64_t Offset = 0; // bytes from the start of the device
  std::uint64_t Size = 0;   // bytes
  bool operator==(const PartitionEntry &) const = default;
};

// The partitions of the MBR (with the logical partitions of its extended
// partitions) or GPT at the start of `device`, in table order, with
// `sectorSize` bytes to a table sector. Empty when the device holds no
// table: a file system on the whole device is no partitioned disk, however
// much its first sector also looks like an MBR. Entries may run past the end
// of the device (a dump cut short); every walk is bounded.
std::vector<PartitionEntry> ReadPartitionTable(Device &device, std::uint32_t sectorSize);

// Whether the first sector is a protective MBR, which stands for a GPT.
bool HasProtectiveMbr(Device &device);

} // namespace orvanta
