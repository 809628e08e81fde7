#include "platform/posix/volume_location.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/posix/system_files.h"

namespace orvanta {
namespace {

// "8:17" as a device number.
std::optional<std::uint64_t> ParseDevNumber(const std::string &text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
    return std::nullopt;
  char *end = nullptr;
  const unsigned long major = std::strtoul(text.c_str(), &end, 10);
  if (end != text.c_str() + colon)
    return std::nullopt;
  const unsigned long minor = std::strtoul(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0')
    return std::nullopt;
  return makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor));
}

std::string DevText(std::uint64_t dev) {
  return std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
}

// The partitions of a whole disk, as sysfs lists them below it.
std::vector<std::uint64_t> PartitionsOf(std::uint64_t disk, const std::filesystem::path &sysfs) {
  std::vector<std::uint64_t> found;
  std::error_code ec;
  const auto folder = sysfs / "dev" / "block" / DevText(disk);
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (!std::filesystem::exists(it->path() / "partition", ignored))
      continue;
    if (const auto dev = ParseDevNumber(FirstLine(it->path() / "dev")))
      found.push_back(*dev);
  }
  return found;
}

// The sysfs folder of a block device by its number.
std::filesystem::path SysfsFolder(std::uint64_t dev, const std::filesystem::path &sysfs) {
  return sysfs / "dev" / "block" / DevText(dev);
}

// Whether `named` (a path a table gives) is the image: the same file, or,
// when it cannot be looked at, the same path.
bool SameImage(const std::filesystem::path &named, const std::filesystem::path &image) {
  struct stat a {}, b {};
  if (::stat(named.c_str(), &a) == 0 && ::stat(image.c_str(), &b) == 0)
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  std::error_code ec;
  return std::filesystem::weakly_canonical(named, ec) == image;
}

// Loop devices stacked under device-mapper devices under partitions: no
// real stack is deeper than this.
constexpr int kMaxStacking = 8;

// Whether the block device of a sysfs folder reads the image: a loop
// device backed by it, a partition of one, or a device-mapper device (such
// as kpartx makes of a loop device's partitions) built on one.
bool BackedBy(const std::filesystem::path &folder, const std::filesystem::path &image,
              int depth = 0) {
  if (depth > kMaxStacking)
    return false;
  const std::string backing = FirstLine(folder / "loop" / "backing_file");
  if (!backing.empty())
    return SameImage(backing, image);
  std::error_code ec;
  if (std::filesystem::exists(folder / "partition", ec)) {
    const auto whole = std::filesystem::canonical(folder, ec).parent_path();
    return !ec && BackedBy(whole, image, depth + 1);
  }
  for (std::filesystem::directory_iterator it(folder / "slaves", ec), end; !ec && it != end;
       it.increment(ec))
    if (BackedBy(it->path(), image, depth + 1))
      return true;
  return false;
}

// Whether a mount's source is a loop device (or a partition of one) whose
// backing file is `image`, named as /dev/loopN or /dev/loopNpM.
bool LoopNamedBackedBy(const std::string &source, const std::filesystem::path &image,
                       const std::filesystem::path &sysfs) {
  if (!source.starts_with("/dev/loop"))
    return false;
  std::string name = std::filesystem::path(source).filename().string();
  if (const auto p = name.find('p', 4); p != std::string::npos)
    name.resize(p); // loop0p1 is a partition of loop0
  const std::string backing = FirstLine(sysfs / "block" / name / "loop" / "backing_file");
  return !backing.empty() && SameImage(backing, image);
}

// Whether a mount reads the image: through a loop device, however stacked,
// or through a FUSE file system whose source is the image itself.
bool MountReads(std::uint64_t dev, const std::string &fstype, const std::string &source,
                const std::filesystem::path &image, const std::filesystem::path &sysfs) {
  if (fstype == "fuse" || fstype == "fuseblk" || fstype.starts_with("fuse."))
    return SameImage(source, image);
  return LoopNamedBackedBy(source, image, sysfs) || BackedBy(SysfsFolder(dev, sysfs), image);
}

// The device-mapper devices built on a block device (its holders, and
// theirs), by number.
void AddHolders(std::uint64_t dev, const std::filesystem::path &sysfs,
                std::vector<std::uint64_t> &devices, int depth = 0) {
  if (depth > kMaxStacking)
    return;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(SysfsFolder(dev, sysfs) / "holders", ec), end;
       !ec && it != end; it.increment(ec)) {
    const auto holder = ParseDevNumber(FirstLine(it->path() / "dev"));
    if (!holder || std::ranges::find(devices, *holder) != devices.end())
      continue;
    devices.push_back(*holder);
    AddHolders(*holder, sysfs, devices, depth + 1);
  }
}

} // namespace

namespace {

std::mutex tablesMutex;
KernelTables processTables;

} // namespace

KernelTables KernelTables::Below(const std::filesystem::path &root) {
  return {root / "proc/self/mountinfo", root / "sys"};
}

KernelTables KernelTables::OfThisProcess() {
  const std::lock_guard lock(tablesMutex);
  return processTables;
}

void UseKernelTables(const KernelTables &tables) {
  const std::lock_guard lock(tablesMutex);
  processTables = tables;
}

VolumeLocation LocateVolume(const std::filesystem::path &device, const KernelTables &tables) {
  VolumeLocation location;
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0)
    return location;
  const bool block = S_ISBLK(st.st_mode);
  std::error_code ec;
  const auto image = std::filesystem::weakly_canonical(device, ec);
  if (block) {
    location.Devices.push_back(st.st_rdev);
    for (std::uint64_t partition : PartitionsOf(st.st_rdev, tables.Sysfs))
      location.Devices.push_back(partition);
    for (std::size_t i = 0, parts = location.Devices.size(); i < parts; ++i)
      AddHolders(location.Devices[i], tables.Sysfs, location.Devices);
  }
  std::ifstream in(tables.MountInfo);
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - fstype source superopts
    std::istringstream fields(line);
    std::string id, parent, devno, root, mountPoint, word, fstype, source;
    fields >> id >> parent >> devno >> root >> mountPoint;
    while (fields >> word && word != "-") {
    }
    fields >> fstype >> source;
    const auto dev = ParseDevNumber(devno);
    if (!dev)
      continue;
    const bool ours = block ? std::ranges::find(location.Devices, *dev) != location.Devices.end()
                            : MountReads(*dev, fstype, UnescapeMountField(source), image,
                                         tables.Sysfs);
    if (!ours)
      continue;
    if (!block && std::ranges::find(location.Devices, *dev) == location.Devices.end())
      location.Devices.push_back(*dev);
    location.MountPoints.push_back(UnescapeMountField(mountPoint));
  }
  return location;
}

VolumeLocation LocateVolume(const std::filesystem::path &device) {
  return LocateVolume(device, KernelTables::OfThisProcess());
}

std::optional<std::uint64_t> FileSystemDeviceOf(const std::filesystem::path &path) {
  std::error_code ec;
  std::filesystem::path at = std::filesystem::absolute(path, ec);
  if (ec)
    return std::nullopt;
  for (;;) {
    struct stat st {};
    if (::stat(at.c_str(), &st) == 0)
      return st.st_dev;
    if (!at.has_relative_path())
      return std::nullopt;
    at = at.parent_path();
  }
}

} // namespace orvanta
