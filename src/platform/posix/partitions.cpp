#include "platform/posix/partitions.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/partition_device.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/unique_fd.h"

namespace orvanta {
namespace {

struct ProbeDeleter {
  void operator()(blkid_probe pr) const { blkid_free_probe(pr); }
};
using Probe = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

// The sector size a partition's FAT boot sector states.
std::uint32_t PartitionSectorSize(const std::filesystem::path &path, std::uint64_t offset) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd ? StatedSectorSize(fd.get(), offset) : 512;
}

} // namespace

std::vector<PartitionInfo> ListPartitions(const std::filesystem::path &path) {
  std::vector<PartitionInfo> out;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return out;
  Probe pr(blkid_new_probe());
  if (!pr || blkid_probe_set_device(pr.get(), fd.get(), 0, 0) != 0)
    return out;
  blkid_probe_enable_partitions(pr.get(), 1);
  blkid_probe_set_partitions_flags(pr.get(), BLKID_PARTS_ENTRY_DETAILS);
  // A file system on the whole device is no partitioned disk, whatever its
  // first sector may also look like (a FAT boot sector is a valid MBR).
  blkid_probe_enable_superblocks(pr.get(), 1);
  if (blkid_do_fullprobe(pr.get()) != 0)
    return out;
  const char *type = nullptr;
  if (blkid_probe_lookup_value(pr.get(), "TYPE", &type, nullptr) == 0 && type)
    return out;
  blkid_partlist list = blkid_probe_get_partitions(pr.get());
  if (!list)
    return out;
  const int count = blkid_partlist_numof_partitions(list);
  for (int i = 0; i < count; ++i) {
    blkid_partition part = blkid_partlist_get_partition(list, i);
    if (!part)
      continue;
    const auto start = blkid_partition_get_start(part); // 512-byte units
    const auto size = blkid_partition_get_size(part);
    if (start < 0 || size <= 0)
      continue;
    PartitionInfo info;
    info.Number = blkid_partition_get_partno(part);
    info.Offset = static_cast<std::uint64_t>(start) * 512;
    info.Size = static_cast<std::uint64_t>(size) * 512;
    info.FileSystem = FileSystemNameAt(fd.get(), info.Offset, info.Size);
    out.push_back(std::move(info));
  }
  return out;
}

bool IsFatPartition(const PartitionInfo &partition) {
  return partition.FileSystem == "FAT" || partition.FileSystem == "FAT32" ||
         partition.FileSystem == "exfat";
}

std::shared_ptr<Device> OpenVolumeDevice(const std::filesystem::path &path,
                                         std::optional<std::uint32_t> sectorSize,
                                         std::optional<int> partition, std::string &error,
                                         DeviceOpener opener) {
  const auto partitions = ListPartitions(path);
  if (partitions.empty()) {
    if (partition) {
      error = "no partition table on " + path.string();
      return nullptr;
    }
    return std::make_shared<PosixDevice>(path, sectorSize, std::move(opener));
  }
  const PartitionInfo *chosen = nullptr;
  if (partition) {
    for (const auto &p : partitions)
      if (p.Number == *partition)
        chosen = &p;
    if (!chosen) {
      error = "no partition " + std::to_string(*partition) + " on " + path.string();
      return nullptr;
    }
  } else {
    for (const auto &p : partitions) {
      if (!IsFatPartition(p))
        continue;
      if (chosen) {
        error = "several FAT partitions on " + path.string() + ": choose one with --partition N";
        return nullptr;
      }
      chosen = &p;
    }
    if (!chosen) {
      error = "no FAT partition on " + path.string();
      return nullptr;
    }
  }
  // The sectors of an image are those of the volume in the partition, not
  // of whatever its first sector holds.
  auto whole = std::make_shared<PosixDevice>(
      path, sectorSize ? sectorSize : std::optional(PartitionSectorSize(path, chosen->Offset)),
      std::move(opener));
  return std::make_shared<PartitionDevice>(std::move(whole), chosen->Offset, chosen->Size,
                                           chosen->FileSystem);
}

} // namespace orvanta
