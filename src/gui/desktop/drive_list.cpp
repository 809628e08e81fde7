#include "gui/desktop/drive_list.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/partitions.h"

namespace orvanta::gui {

std::vector<DriveEntry> MachineDrives::ListDrives() {
  table_.RemovableDrives();
  return table_.Drives();
}

std::vector<DriveEntry> ImageDrivesOnly::ListDrives() {
  const char *images = std::getenv("ORVANTA_DRIVES");
  std::vector<DriveEntry> drives = ParseDriveList(images ? images : "");
  std::sort(drives.begin(), drives.end(),
            [](const DriveEntry &a, const DriveEntry &b) { return a.Letter < b.Letter; });
  return drives;
}

const std::vector<DriveEntry> &ListedDrives::Refresh() {
  entries_ = source_.ListDrives();
  return entries_;
}

std::vector<std::string> ListedDrives::RemovableDrives() {
  std::vector<std::string> out;
  for (const DriveEntry &d : Refresh())
    out.push_back(std::string{d.Letter, ':'});
  return out;
}

std::shared_ptr<Device> OpenDriveDevice(const DriveEntry &drive, DeviceOpener opener) {
  std::string error;
  return OpenVolumeDevice(drive.Path, drive.SectorSize, drive.Partition, error, std::move(opener));
}

std::shared_ptr<Device> ListedDrives::DeviceFor(std::string_view drivePath) {
  if (drivePath.size() != 2 || drivePath[1] != ':')
    return nullptr;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drivePath[0])));
  for (const DriveEntry &d : entries_)
    if (d.Letter == letter)
      return factory_ ? factory_(d) : OpenDriveDevice(d, {});
  return nullptr;
}

} // namespace orvanta::gui
