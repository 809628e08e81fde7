#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/device_opener.h"

// Partition tables and the volume device of a drive. Each system has its own
// reader behind ListPartitions and OpenVolumeDevice (posix/ on Linux,
// windows/ on Windows); the choice of the partition is shared
// (partition_choice.h).

namespace orvanta {

// One entry of a partition table.
struct PartitionInfo {
  int Number = 0;          // as the table numbers it, from 1
  std::uint64_t Offset = 0; // bytes from the start of the device
  std::uint64_t Size = 0;   // bytes
  // The file system found at its start, named as Device::FileSystemName
  // names it ("FAT", "FAT32", "NTFS", another name, or empty).
  std::string FileSystem;
};

// The partitions of a disk image or a whole disk, in table order; empty
// when it carries no partition table (MBR or GPT) that the system knows. The
// table is read with the given sector size; without one, with the
// device's, and a GPT that is not found so behind a protective MBR is
// looked for with 4096-byte sectors too. A partition that runs past the end
// of the device (a dump cut short) is recognised by what the device holds.
std::vector<PartitionInfo> ListPartitions(const std::filesystem::path &path,
                                          std::optional<std::uint32_t> sectorSize = std::nullopt);

// Whether a partition holds a FAT file system.
bool IsFatPartition(const PartitionInfo &partition);

// The device of a drive: the file or block device itself, or, when it
// carries a partition table, its partition `partition` (by number), else
// its only FAT partition. Null with `error` set when the partition asked
// for does not exist, or when the table holds no FAT partition or several
// and none was chosen (the error names the partitions whose file system
// was not recognised, to be chosen with --partition N). The device opens
// through `opener` (the partition table itself is read directly: a device
// the user may not open directly is a removable disk's partition or a disk
// without a table). `warning`, when given, says when the partition chosen
// runs past the end of the device.
std::shared_ptr<Device> OpenVolumeDevice(const std::filesystem::path &path,
                                         std::optional<std::uint32_t> sectorSize,
                                         std::optional<int> partition, std::string &error,
                                         DeviceOpener opener = {}, std::string *warning = nullptr);

} // namespace orvanta
