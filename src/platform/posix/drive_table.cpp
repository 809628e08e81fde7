#include "platform/posix/drive_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <libudev.h>
#include <memory>

#include "platform/partitions.h"
#include "platform/posix/posix_device.h"

namespace orvanta {

std::vector<DriveEntry> ParseDriveList(std::string_view text) {
  std::vector<DriveEntry> out;
  while (!text.empty()) {
    const auto end = text.find(';');
    std::string_view item = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (item.size() < 3 || item[1] != '=' || !std::isalpha(static_cast<unsigned char>(item[0])))
      continue;
    DriveEntry entry;
    entry.Letter = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
    if (entry.Letter == 'A')
      continue;
    std::string_view path = item.substr(2);
    const auto colon = path.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < path.size() &&
        std::all_of(path.begin() + static_cast<std::ptrdiff_t>(colon) + 1, path.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
        path.size() - colon <= 6) {
      const unsigned long size = std::strtoul(std::string(path.substr(colon + 1)).c_str(), nullptr, 10);
      if (size == 0 || size % 512 != 0)
        continue;
      entry.SectorSize = static_cast<std::uint32_t>(size);
      path = path.substr(0, colon);
    }
    const auto at = path.rfind('@');
    if (at != std::string_view::npos && at + 1 < path.size() && path.size() - at <= 4 &&
        std::all_of(path.begin() + static_cast<std::ptrdiff_t>(at) + 1, path.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      entry.Partition = std::atoi(std::string(path.substr(at + 1)).c_str());
      if (*entry.Partition <= 0)
        continue;
      path = path.substr(0, at);
    }
    if (path.empty())
      continue;
    entry.Path = std::filesystem::path(std::string(path));
    std::erase_if(out, [&](const DriveEntry &d) { return d.Letter == entry.Letter; });
    out.push_back(std::move(entry));
  }
  return out;
}

namespace {

struct UdevDeleter {
  void operator()(udev *u) const { udev_unref(u); }
  void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
  void operator()(udev_device *d) const { udev_device_unref(d); }
};
template <class T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Attr(udev_device *d, const char *name) {
  const char *v = udev_device_get_sysattr_value(d, name);
  return v ? v : "";
}

std::string Prop(udev_device *d, const char *name) {
  const char *v = udev_device_get_property_value(d, name);
  return v ? v : "";
}

bool IsFat(const std::filesystem::path &node) {
  const std::string name = PosixDevice(node).FileSystemName();
  return name == "FAT" || name == "FAT32" || name == "exfat";
}

} // namespace

std::vector<std::filesystem::path> FindRemovableVolumes() {
  std::vector<std::filesystem::path> out;
  UdevPtr<udev> u(udev_new());
  if (!u)
    return out;
  UdevPtr<udev_enumerate> disks(udev_enumerate_new(u.get()));
  udev_enumerate_add_match_subsystem(disks.get(), "block");
  udev_enumerate_add_match_property(disks.get(), "DEVTYPE", "disk");
  udev_enumerate_scan_devices(disks.get());
  udev_list_entry *entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(disks.get())) {
    UdevPtr<udev_device> disk(
        udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
    if (!disk || !udev_device_get_devnode(disk.get()))
      continue;
    const std::string node = udev_device_get_devnode(disk.get());
    if (node.starts_with("/dev/loop") || node.starts_with("/dev/ram") ||
        node.starts_with("/dev/zram"))
      continue;
    const bool removable = Attr(disk.get(), "removable") == "1" || Prop(disk.get(), "ID_BUS") == "usb";
    if (!removable || Attr(disk.get(), "size") == "0" || Attr(disk.get(), "size").empty())
      continue;

    UdevPtr<udev_enumerate> parts(udev_enumerate_new(u.get()));
    udev_enumerate_add_match_subsystem(parts.get(), "block");
    udev_enumerate_add_match_property(parts.get(), "DEVTYPE", "partition");
    udev_enumerate_add_match_parent(parts.get(), disk.get());
    udev_enumerate_scan_devices(parts.get());
    std::vector<std::filesystem::path> partitions;
    udev_list_entry *p;
    udev_list_entry_foreach(p, udev_enumerate_get_list_entry(parts.get())) {
      UdevPtr<udev_device> part(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(p)));
      if (part && udev_device_get_devnode(part.get()))
        partitions.emplace_back(udev_device_get_devnode(part.get()));
    }
    if (partitions.empty()) {
      if (Prop(disk.get(), "ID_PART_TABLE_TYPE").empty())
        out.emplace_back(node);
    } else {
      for (auto &part : partitions)
        if (IsFat(part))
          out.push_back(std::move(part));
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

PosixDriveTable::PosixDriveTable() { Refresh(); }

PosixDriveTable::PosixDriveTable(std::vector<DriveEntry> drives)
    : fixed_(true), drives_(std::move(drives)) {
  std::sort(drives_.begin(), drives_.end(),
            [](const DriveEntry &a, const DriveEntry &b) { return a.Letter < b.Letter; });
}

void PosixDriveTable::Refresh() {
  if (fixed_)
    return;
  const char *env = std::getenv("ORVANTA_DRIVES");
  drives_ = ParseDriveList(env ? env : "");
  char letter = 'D';
  for (auto &volume : FindRemovableVolumes()) {
    while (letter <= 'Z' && std::any_of(drives_.begin(), drives_.end(),
                                        [&](const DriveEntry &d) { return d.Letter == letter; }))
      ++letter;
    if (letter > 'Z')
      break;
    drives_.push_back({letter++, std::move(volume), std::nullopt, std::nullopt});
  }
  std::sort(drives_.begin(), drives_.end(),
            [](const DriveEntry &a, const DriveEntry &b) { return a.Letter < b.Letter; });
}

std::vector<std::string> PosixDriveTable::RemovableDrives() {
  Refresh();
  std::vector<std::string> out;
  for (const auto &d : drives_)
    out.push_back(std::string{d.Letter, ':'});
  return out;
}

std::shared_ptr<Device> PosixDriveTable::DeviceFor(std::string_view drivePath) {
  if (drivePath.size() != 2 || drivePath[1] != ':')
    return nullptr;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drivePath[0])));
  for (const auto &d : drives_) {
    if (d.Letter != letter)
      continue;
    // Removable block devices are partitions already; an image may hold a
    // whole card with its partition table.
    std::string error;
    return OpenVolumeDevice(d.Path, d.SectorSize, d.Partition, error);
  }
  return nullptr;
}

} // namespace orvanta
