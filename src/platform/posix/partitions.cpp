#include "platform/partitions.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

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

namespace {

std::vector<PartitionInfo> ListPartitionsOf(int fd, std::optional<std::uint32_t> sectorSize) {
  std::vector<PartitionInfo> out;
  Probe pr(blkid_new_probe());
  if (!pr || blkid_probe_set_device(pr.get(), fd, 0, 0) != 0)
    return out;
  if (sectorSize)
    blkid_probe_set_sectorsize(pr.get(), *sectorSize);
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
  const off_t end = ::lseek(fd, 0, SEEK_END);
  const std::uint64_t deviceBytes = end > 0 ? static_cast<std::uint64_t>(end) : 0;
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
    // The file system is probed in what the device holds of the partition.
    const std::uint64_t held =
        info.Offset >= deviceBytes ? 0 : std::min(info.Size, deviceBytes - info.Offset);
    if (held > 0)
      info.FileSystem = FileSystemNameAt(fd, info.Offset, held);
    out.push_back(std::move(info));
  }
  return out;
}

// Whether the first sector is a protective MBR: the first entry of type
// 0xEE that stands for a GPT.
bool ProtectiveMbr(int fd) {
  std::uint8_t sector[512] = {};
  return ::pread(fd, sector, sizeof sector, 0) == static_cast<ssize_t>(sizeof sector) &&
         sector[510] == 0x55 && sector[511] == 0xAA && sector[446 + 4] == 0xEE;
}

} // namespace

std::vector<PartitionInfo> ListPartitions(const std::filesystem::path &path,
                                          std::optional<std::uint32_t> sectorSize) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return {};
  auto out = ListPartitionsOf(fd.get(), sectorSize);
  // The image of a disk of 4096-byte sectors keeps its GPT header in byte
  // 4096, where a reader of 512-byte sectors finds none.
  if (out.empty() && !sectorSize && ProtectiveMbr(fd.get()))
    out = ListPartitionsOf(fd.get(), 4096);
  return out;
}

bool IsFatPartition(const PartitionInfo &partition) {
  return partition.FileSystem == "FAT" || partition.FileSystem == "FAT32" ||
         partition.FileSystem == "exfat";
}

std::shared_ptr<Device> OpenVolumeDevice(const std::filesystem::path &path,
                                         std::optional<std::uint32_t> sectorSize,
                                         std::optional<int> partition, std::string &error,
                                         DeviceOpener opener, std::string *warning) {
  const auto partitions = ListPartitions(path, sectorSize);
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
  // The sectors of an image are those of the volume in the partition, not
  // of whatever its first sector holds.
  auto whole = std::make_shared<PosixDevice>(
      path, sectorSize ? sectorSize : std::optional(PartitionSectorSize(path, chosen->Offset)),
      std::move(opener));
  if (warning) {
    const auto held = whole->SizeBytes();
    if (held && chosen->Offset + chosen->Size > *held)
      *warning = "partition " + std::to_string(chosen->Number) + " runs past the end of " +
                 path.string() + ": it is cut short, and what lay beyond the end is missing";
  }
  return std::make_shared<PartitionDevice>(std::move(whole), chosen->Offset, chosen->Size,
                                           chosen->FileSystem);
}

} // namespace orvanta
