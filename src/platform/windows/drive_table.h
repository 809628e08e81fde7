#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_entry.h"
#include "platform/drive_provider.h"

namespace orvanta {

// What the system says of a drive, as far as listing it goes.
struct DriveFacts {
  unsigned DriveType = 0;          // GetDriveTypeW: 2 removable, 3 fixed, ...
  std::optional<unsigned> BusType; // STORAGE_BUS_TYPE of its disk, when it says
  bool HoldsSystem = false;        // the Windows folder is on it
};

// Whether a drive is listed: every removable drive, and a fixed one on a USB,
// SD or MMC bus (card readers and USB disks that call their media fixed)
// unless Windows itself lives there. Fixed disks on other buses, optical,
// network and RAM drives are never listed.
bool ListedDrive(const DriveFacts &facts);

// The drive table of a Windows machine: the drive letters the system has,
// B: to Z:, that ListedDrive accepts, each with its raw volume. Listed again
// on every call of RemovableDrives(), as the drive list is rebuilt on every
// show.
class WindowsDriveTable final : public DriveProvider {
public:
  WindowsDriveTable() = default;
  // A table of exactly these drives, without looking at the machine.
  explicit WindowsDriveTable(std::vector<DriveEntry> drives);

  std::vector<std::string> RemovableDrives() override;
  std::shared_ptr<Device> DeviceFor(std::string_view drivePath) override;

  const std::vector<DriveEntry> &Drives() const { return drives_; }

private:
  void Refresh();

  bool fixed_ = false;
  std::vector<DriveEntry> drives_;
};

} // namespace orvanta
