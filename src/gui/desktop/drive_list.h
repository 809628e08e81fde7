#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_opener.h"
#include "platform/drive_provider.h"
#include "platform/drive_table.h"

namespace orvanta::gui {

// Where the drive list comes from: the machine's removable drives and the
// images of ORVANTA_DRIVES, or a stand-in in tests.
class DriveSource {
public:
  virtual ~DriveSource() = default;
  // The drives present now, in letter order.
  virtual std::vector<DriveEntry> ListDrives() = 0;
};

// The drives of this machine (libudev and ORVANTA_DRIVES), listed anew on
// every call.
class MachineDrives final : public DriveSource {
public:
  std::vector<DriveEntry> ListDrives() override;

private:
  PosixDriveTable table_;
};

// Only the images named in ORVANTA_DRIVES, never the machine's own drives
// (pictures of the windows for the documentation).
class ImageDrivesOnly final : public DriveSource {
public:
  std::vector<DriveEntry> ListDrives() override;
};

// The drives as the main window last listed them, for the engine: a drive
// text names the device it had in that listing, so a card that arrives or
// leaves never changes which device a shown letter means until the list is
// shown again.
class ListedDrives final : public DriveProvider {
public:
  // Makes the device of a listed drive.
  using DeviceFactory = std::function<std::shared_ptr<Device>(const DriveEntry &)>;

  // Devices are opened by OpenDriveDevice unless a factory is set.
  explicit ListedDrives(DriveSource &source) : source_(source) {}
  void SetDeviceFactory(DeviceFactory factory) { factory_ = std::move(factory); }

  // Lists the drives again.
  const std::vector<DriveEntry> &Refresh();
  const std::vector<DriveEntry> &Entries() const { return entries_; }

  std::vector<std::string> RemovableDrives() override;
  std::shared_ptr<Device> DeviceFor(std::string_view drivePath) override;

private:
  DriveSource &source_;
  DeviceFactory factory_;
  std::vector<DriveEntry> entries_;
};

// The device of a listed drive: the image or block device, or the chosen (or
// only FAT or exFAT) partition of one that holds a partition table, opened
// through `opener`. Null when its partition cannot be chosen.
std::shared_ptr<Device> OpenDriveDevice(const DriveEntry &drive, DeviceOpener opener);

} // namespace orvanta::gui
