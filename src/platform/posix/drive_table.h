#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_entry.h"
#include "platform/drive_provider.h"

namespace orvanta {

// Parses ORVANTA_DRIVES: "E=/path/card.img;F=/path/4k.img:4096;G=/path/disk.img@2".
// A ":N" at the end gives the sector size, an "@N" before it the partition of
// an image that holds a partition table. Entries that do not parse, and any
// for A:, are left out.
std::vector<DriveEntry> ParseDriveList(std::string_view text);

// Removable block devices found through libudev: the FAT partitions of each
// removable disk, or the whole disk when it has no partition table, in
// device-name order.
std::vector<std::filesystem::path> FindRemovableVolumes();

// The drive table of a Linux machine: removable block devices get letters
// from D: up, in device order, skipping the letters that ORVANTA_DRIVES names;
// the images named there take their own letters. Listed again on every call
// of RemovableDrives(), as the drive list is rebuilt on every show.
class PosixDriveTable final : public DriveProvider {
public:
  PosixDriveTable();
  // A table of exactly these drives, without looking at the machine.
  explicit PosixDriveTable(std::vector<DriveEntry> drives);

  std::vector<std::string> RemovableDrives() override;
  std::shared_ptr<Device> DeviceFor(std::string_view drivePath) override;

  const std::vector<DriveEntry> &Drives() const { return drives_; }

private:
  void Refresh();

  bool fixed_ = false;
  std::vector<DriveEntry> drives_;
};

} // namespace orvanta
