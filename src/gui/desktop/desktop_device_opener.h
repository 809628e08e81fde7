#pragma once

#include <filesystem>
#include <functional>

#include "gui/desktop/device_opener_service.h"

namespace orvanta::gui {

// How the desktop program opens a drive's device, in the shape of the
// engine's device opener (path and open(2) flags in, a descriptor or -1 with
// errno out): directly first, as for images and for root; when the system
// says the user may not (EACCES, EPERM) and the path is a block device,
// through the disk service, which asks for authorisation. When the service
// refuses or cannot be reached the open fails with the system's EACCES or
// EPERM, so that the drive is reported as one the user may not open. It may
// be called from worker threads.
class DesktopDeviceOpener {
public:
  using DirectOpen = std::function<int(const std::filesystem::path &, int flags)>;

  // `service` may be null: then only direct opens. `direct` and `isBlockDevice`
  // default to open(2) with O_CLOEXEC and a stat() test.
  explicit DesktopDeviceOpener(DeviceOpenerService *service, DirectOpen direct = {},
                               std::function<bool(const std::filesystem::path &)> isBlockDevice = {});

  int operator()(const std::filesystem::path &path, int flags);

private:
  DeviceOpenerService *service_;
  DirectOpen direct_;
  std::function<bool(const std::filesystem::path &)> isBlockDevice_;
};

} // namespace orvanta::gui
