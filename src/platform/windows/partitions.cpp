#include "platform/partitions.h"

#include <algorithm>

#include "platform/boot_sector_probe.h"
#include "platform/partition_choice.h"
#include "platform/partition_table.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_device.h"

// On Windows a drive letter is a volume already; a table is read from disk
// images, by the reader every system shares. The device opener of the
// desktop's disk service has no part here.
namespace orvanta {
namespace {

// The first bytes of a partition, as much as the device holds of them.
std::string FileSystemAt(Device &device, std::uint64_t offset, std::uint64_t deviceBytes,
                         std::uint32_t sectorSize) {
  const std::uint64_t length = std::max<std::uint32_t>(sectorSize, 512);
  if (offset > deviceBytes || length > deviceBytes - offset)
    return {};
  std::vector<std::uint8_t> boot(length);
  return device.Read(offset, boot) ? FileSystemNameOf(boot) : std::string{};
}

std::vector<PartitionInfo> ListWith(Device &device, std::uint32_t sectorSize) {
  std::vector<PartitionInfo> out;
  const auto deviceBytes = device.SizeBytes();
  if (!deviceBytes)
    return out;
  for (const PartitionEntry &entry : ReadPartitionTable(device, sectorSize)) {
    PartitionInfo info;
    info.Number = entry.Number;
    info.Offset = entry.Offset;
    info.Size = entry.Size;
    info.FileSystem = FileSystemAt(device, entry.Offset, *deviceBytes, sectorSize);
    out.push_back(std::move(info));
  }
  return out;
}

std::string Named(const std::filesystem::path &path) { return PathText(path); }

} // namespace

std::vector<PartitionInfo> ListPartitions(const std::filesystem::path &path,
                                          std::optional<std::uint32_t> sectorSize) {
  WindowsDevice device(path, sectorSize ? sectorSize : std::optional<std::uint32_t>(512));
  device.BeginSession(DeviceAccess::Read);
  auto out = ListWith(device, sectorSize.value_or(512));
  // The image of a disk of 4096-byte sectors keeps its GPT header in byte
  // 4096, where a reader of 512-byte sectors finds none.
  if (out.empty() && !sectorSize && HasProtectiveMbr(device))
    out = ListWith(device, 4096);
  device.EndSession();
  return out;
}

std::shared_ptr<Device> OpenVolumeDevice(const std::filesystem::path &path,
                                         std::optional<std::uint32_t> sectorSize,
                                         std::optional<int> partition, std::string &error,
                                         DeviceOpener, std::string *warning) {
  auto makeWhole = [&](const PartitionInfo *chosen) -> std::shared_ptr<Device> {
    if (!chosen)
      return std::make_shared<WindowsDevice>(path, sectorSize);
    // The sectors of an image are those of the volume in the partition, not
    // of whatever its first sector holds.
    std::optional<std::uint32_t> volumeSectorSize = sectorSize;
    if (!volumeSectorSize) {
      WindowsDevice probe(path, 512);
      std::vector<std::uint8_t> boot(512);
      volumeSectorSize = probe.Read(chosen->Offset, boot) ? StatedSectorSize(boot) : 512;
    }
    return std::make_shared<WindowsDevice>(path, volumeSectorSize);
  };
  const auto partitions = IsRawDevicePath(path) ? std::vector<PartitionInfo>{}
                                                : ListPartitions(path, sectorSize);
  return OpenChosenVolume(partitions, partition, Named(path), makeWhole, error, warning);
}

} // namespace orvanta
