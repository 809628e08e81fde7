#include "platform/partition_choice.h"

#include "platform/partition_device.h"

namespace orvanta {

bool IsFatPartition(const PartitionInfo &partition) {
  return partition.FileSystem == "FAT" || partition.FileSystem == "FAT32" ||
         partition.FileSystem == "exfat";
}

std::shared_ptr<Device> OpenChosenVolume(const std::vector<PartitionInfo> &partitions,
                                         std::optional<int> partition,
                                         const std::string &driveName,
                                         const WholeDeviceMaker &makeWhole, std::string &error,
                                         std::string *warning) {
  if (partitions.empty()) {
    if (partition) {
      error = "no partition table on " + driveName;
      return nullptr;
    }
    return makeWhole(nullptr);
  }
  const PartitionInfo *chosen = nullptr;
  if (partition) {
    for (const auto &p : partitions)
      if (p.Number == *partition)
        chosen = &p;
    if (!chosen) {
      error = "no partition " + std::to_string(*partition) + " on " + driveName;
      return nullptr;
    }
  } else {
    for (const auto &p : partitions) {
      if (!IsFatPartition(p))
        continue;
      if (chosen) {
        error = "several FAT partitions on " + driveName + ": choose one with --partition N";
        return nullptr;
      }
      chosen = &p;
    }
    if (!chosen) {
      error = "no FAT partition on " + driveName;
      // A damaged volume is not recognised, yet may still be read: name the
      // partitions that could hold one.
      for (const auto &p : partitions)
        if (p.FileSystem.empty())
          error += "; partition " + std::to_string(p.Number) +
                   " holds no file system that was recognised: to read it anyway, choose it "
                   "with --partition " + std::to_string(p.Number);
      return nullptr;
    }
  }
  auto whole = makeWhole(chosen);
  if (warning) {
    const auto held = whole->SizeBytes();
    if (held && chosen->Offset + chosen->Size > *held)
      *warning = "partition " + std::to_string(chosen->Number) + " runs past the end of " +
                 driveName + ": it is cut short, and what lay beyond the end is missing";
  }
  return std::make_shared<PartitionDevice>(std::move(whole), chosen->Offset, chosen->Size,
                                           chosen->FileSystem);
}

} // namespace orvanta
