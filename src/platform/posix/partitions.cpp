#include "platform/partitions.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/partition_choice.h"
#include "platform/partition_table.h"
#include "platform/posix/posix_device.h"
#include "platform/posix/unique_fd.h"

namespace orvanta {
namespace {

// The sector size a partition's FAT boot sector states.
std::uint32_t PartitionSectorSize(const std::filesystem::path &path, std::uint64_t offset) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd ? StatedSectorSize(fd.get(), offset) : 512;
}

// The table's sector size when none is given: a block device's logical
// sector size; an image's, 512.
std::uint32_t TableSectorSize(int fd) {
  struct stat st {};
  int logical = 0;
  if (::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && ::ioctl(fd, BLKSSZGET, &logical) == 0 &&
      logical >= 512)
    return static_cast<std::uint32_t>(logical);
  return 512;
}

// The partitions of the table, each named by libblkid's probe of what the
// device holds of it.
std::vector<PartitionInfo> ListPartitionsOf(const std::filesystem::path &path, int fd,
                                            std::uint32_t sectorSize) {
  std::vector<PartitionInfo> out;
  PosixDevice device(path, sectorSize);
  device.BeginSession(DeviceAccess::Read);
  const auto entries = ReadPartitionTable(device, sectorSize);
  device.EndSession();
  const off_t end = ::lseek(fd, 0, SEEK_END);
  const std::uint64_t deviceBytes = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  for (const PartitionEntry &entry : entries) {
    PartitionInfo info;
    info.Number = entry.Number;
    info.Offset = entry.Offset;
    info.Size = entry.Size;
    const std::uint64_t held =
        info.Offset >= deviceBytes ? 0 : std::min(info.Size, deviceBytes - info.Offset);
    if (held > 0)
      info.FileSystem = FileSystemNameAt(fd, info.Offset, held);
    out.push_back(std::move(info));
  }
  return out;
}

} // namespace

std::vector<PartitionInfo> ListPartitions(const std::filesystem::path &path,
                                          std::optional<std::uint32_t> sectorSize) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return {};
  auto out = ListPartitionsOf(path, fd.get(), sectorSize.value_or(TableSectorSize(fd.get())));
  // The image of a disk of 4096-byte sectors keeps its GPT header in byte
  // 4096, where a reader of 512-byte sectors finds none.
  if (out.empty() && !sectorSize) {
    PosixDevice device(path, 512);
    if (HasProtectiveMbr(device))
      out = ListPartitionsOf(path, fd.get(), 4096);
  }
  return out;
}

std::shared_ptr<Device> OpenVolumeDevice(const std::filesystem::path &path,
                                         std::optional<std::uint32_t> sectorSize,
                                         std::optional<int> partition, std::string &error,
                                         DeviceOpener opener, std::string *warning) {
  auto makeWhole = [&](const PartitionInfo *chosen) -> std::shared_ptr<Device> {
    if (!chosen)
      return std::make_shared<PosixDevice>(path, sectorSize, std::move(opener));
    // The sectors of an image are those of the volume in the partition, not
    // of whatever its first sector holds.
    return std::make_shared<PosixDevice>(
        path, sectorSize ? sectorSize : std::optional(PartitionSectorSize(path, chosen->Offset)),
        std::move(opener));
  };
  return OpenChosenVolume(ListPartitions(path, sectorSize), partition, path.string(), makeWhole,
                          error, warning);
}

} // namespace orvanta
