#include "gui/desktop/drive_names.h"

#include <cstdio>
#include <libudev.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>

namespace orvanta::gui {

namespace {

struct UdevDeleter {
  void operator()(udev *u) const { udev_unref(u); }
  void operator()(udev_device *d) const { udev_device_unref(d); }
};
template <class T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Property(udev_device *d, const char *name) {
  const char *v = d ? udev_device_get_property_value(d, name) : nullptr;
  std::string text = v ? v : "";
  for (char &c : text)
    if (c == '_')
      c = ' ';
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

struct BlockDescription {
  std::string Name;
  std::optional<std::uint64_t> Size;
  std::string KernelName;
};

std::optional<BlockDescription> DescribeBlockDevice(const std::filesystem::path &node) {
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    return std::nullopt;
  UdevPtr<udev> u(udev_new());
  if (!u)
    return std::nullopt;
  UdevPtr<udev_device> device(udev_device_new_from_devnum(u.get(), 'b', st.st_rdev));
  if (!device)
    return std::nullopt;
  BlockDescription out;
  if (const char *sysname = udev_device_get_sysname(device.get()))
    out.KernelName = sysname;
  if (const char *sectors = udev_device_get_sysattr_value(device.get(), "size"))
    out.Size = std::strtoull(sectors, nullptr, 10) * 512;
  // Vendor and model belong to the disk; a partition inherits them in udev's
  // database, but ask the disk when the partition has none.
  udev_device *disk = udev_device_get_parent_with_subsystem_devtype(device.get(), "block", "disk");
  std::string vendor = Property(device.get(), "ID_VENDOR");
  std::string model = Property(device.get(), "ID_MODEL");
  if (vendor.empty() && model.empty()) {
    vendor = Property(disk, "ID_VENDOR");
    model = Property(disk, "ID_MODEL");
  }
  if (!vendor.empty() && model.starts_with(vendor))
    vendor.clear();
  out.Name = vendor.empty() ? model : model.empty() ? vendor : vendor + " " + model;
  return out;
}

} // namespace

std::string ReadableSize(std::uint64_t bytes) {
  static constexpr const char *kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 999.5 && unit + 1 < std::size(kUnits)) {
    value /= 1000.0;
    ++unit;
  }
  char text[32];
  if (unit == 0 || value >= 99.95)
    std::snprintf(text, sizeof text, "%.0f %s", value, kUnits[unit]);
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string DriveItemText(char letter, std::string_view name, std::optional<std::uint64_t> sizeBytes,
                          std::string_view kernelName) {
  std::string text{letter, ':'};
  std::string_view separator = "  ";
  auto add = [&](std::string_view part) {
    if (part.empty())
      return;
    text += separator;
    text += part;
    separator = " \u00B7 ";
  };
  add(name);
  if (sizeBytes)
    add(ReadableSize(*sizeBytes));
  add(kernelName);
  return text;
}

std::string DriveItemText(const DriveEntry &drive) {
  if (auto block = DescribeBlockDevice(drive.Path))
    return DriveItemText(drive.Letter, block->Name, block->Size, block->KernelName);
  std::error_code error;
  const auto size = std::filesystem::file_size(drive.Path, error);
  return DriveItemText(drive.Letter, drive.Path.filename().string(),
                       error ? std::nullopt : std::optional<std::uint64_t>(size), {});
}

} // namespace orvanta::gui
