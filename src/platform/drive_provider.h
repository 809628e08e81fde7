#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device.h"

namespace orvanta {

// The drives the program may work on, each named by its drive text ("E:").
class DriveProvider {
public:
  virtual ~DriveProvider() = default;

  // Removable drives, in letter order ("D:", "E:" ...). A: is never listed.
  virtual std::vector<std::string> RemovableDrives() = 0;

  // The device of a drive text; null when no such drive exists.
  virtual std::shared_ptr<Device> DeviceFor(std::string_view drivePath) = 0;
};

// A provider with a fixed set of drives, for the command line and tests.
class FixedDrives final : public DriveProvider {
public:
  void Add(std::string drivePath, std::shared_ptr<Device> device);

  std::vector<std::string> RemovableDrives() override;
  std::shared_ptr<Device> DeviceFor(std::string_view drivePath) override;

private:
  std::vector<std::pair<std::string, std::shared_ptr<Device>>> drives_;
};

// Drive texts compare without regard to letter case ("e:" names E:).
bool SameDriveText(std::string_view a, std::string_view b);

} // namespace orvanta
