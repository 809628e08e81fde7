#pragma once

#include <atomic>
#include <filesystem>
#include <functional>

#include "gui/desktop/device_opener_service.h"

namespace orvanta::gui {

// How the desktop program opens a drive's device, in the shape of the
// engine's device opener (path and open(2) flags in, a descriptor or -1 with
// errno out): directly first, as for images and for root; when the system
// says the user may not (EACCES, EPERM) and the path is a block device,
// through the disk service, which asks for authorisation. It may be called
// from worker threads.
class DesktopDeviceOpener {
public:
  using DirectOpen = std::function<int(const std::filesystem::path &, int flags)>;

  // `service` may be null: then only direct opens. `direct` and `isBlockDevice`
  // default to open(2) with O_CLOEXEC and a stat() test.
  explicit DesktopDeviceOpener(DeviceOpenerService *service, DirectOpen direct = {},
                               std::function<bool(const std::filesystem::path &)> isBlockDevice = {});

  int operator()(const std::filesystem::path &path, int flags);

  // Whether an open since the last reset was refused by the service (the
  // user dismissed the password dialog or the policy said no): the drive is
  // there, the user may not read it.
  bool AccessRefused() const { return refused_; }
  void ResetRefusal() { refused_ = false; }

private:
  DeviceOpenerService *service_;
  DirectOpen direct_;
  std::function<bool(const std::filesystem::path &)> isBlockDevice_;
  std::atomic<bool> refused_ = false;
};

} // namespace orvanta::gui
