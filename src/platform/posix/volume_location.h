#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/volume_location.h"

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

// On Linux a volume's location (see platform/volume_location.h) is the
// device numbers its files have when it is mounted (the block device and,
// of a whole disk, its partitions and the device-mapper devices built on
// them; of an image, the devices of its mounts: through loop devices, their
// partitions and device-mapper devices built on them such as kpartx makes,
// or through FUSE file systems whose source is the image) and every folder
// it is mounted on.

// The location of the volume on `device`, a block device or an image file,
// from the given tables.
VolumeLocation LocateVolume(const std::filesystem::path &device, const KernelTables &tables);

} // namespace orvanta
