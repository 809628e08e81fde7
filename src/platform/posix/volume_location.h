#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace orvanta {

// Where the kernel's tables are read: the mount table and the sysfs tree.
struct KernelTables {
  std::filesystem::path MountInfo = "/proc/self/mountinfo";
  std::filesystem::path Sysfs = "/sys";

  // The tables below a folder that stands in for "/".
  static KernelTables Below(const std::filesystem::path &root);
  // The tables the process reads: the system's own, unless the process
  // chose others with UseKernelTables.
  static KernelTables OfThisProcess();
};

// Makes the process read its kernel tables elsewhere (a test's stand-ins);
// nothing outside the program's own code can choose them.
void UseKernelTables(const KernelTables &tables);

// Where the system keeps a volume: the device numbers its files have when
// it is mounted (the block device and, of a whole disk, its partitions and
// the device-mapper devices built on them; of an image, the devices of its
// mounts: through loop devices, their partitions and device-mapper devices
// built on them such as kpartx makes, or through FUSE file systems whose
// source is the image) and every folder it is mounted on.
struct VolumeLocation {
  std::vector<std::uint64_t> Devices;
  std::vector<std::filesystem::path> MountPoints;
};

// The location of the volume on `device`, a block device or an image file.
// An image that is not mounted has none.
VolumeLocation LocateVolume(const std::filesystem::path &device,
                            const KernelTables &tables = KernelTables::OfThisProcess());

// The device number of the file system that holds `path`, or, when `path`
// does not exist yet, holds its nearest existing parent.
std::optional<std::uint64_t> FileSystemDeviceOf(const std::filesystem::path &path);

} // namespace orvanta
