#include "gui/desktop/hot_plug.h"

#include <QSocketNotifier>
#include <libudev.h>
#include <string_view>

namespace orvanta::gui {

UdevHotPlugMonitor::UdevHotPlugMonitor() {
  settle_.setSingleShot(true);
  settle_.setInterval(400); // partitions and their file systems appear just after the disk
  connect(&settle_, &QTimer::timeout, this, &HotPlugMonitor::DrivesChanged);
  udev_ = udev_new();
  if (!udev_)
    return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    if (monitor_)
      udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    return;
  }
  notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UdevHotPlugMonitor::Drain);
}

UdevHotPlugMonitor::~UdevHotPlugMonitor() {
  delete notifier_;
  if (monitor_)
    udev_monitor_unref(monitor_);
  if (udev_)
    udev_unref(udev_);
}

void UdevHotPlugMonitor::Drain() {
  bool changed = false;
  while (udev_device *device = udev_monitor_receive_device(monitor_)) {
    const char *action = udev_device_get_action(device);
    if (action && (std::string_view(action) == "add" || std::string_view(action) == "remove" ||
                   std::string_view(action) == "change"))
      changed = true;
    udev_device_unref(device);
  }
  if (changed)
    settle_.start();
}

} // namespace orvanta::gui
