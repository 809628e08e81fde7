#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace orvanta::gui {

// Tells when block devices arrive or leave. This base class never does by
// itself: it is the stand-in where the machine is not watched (tests emit
// DrivesChanged themselves).
class HotPlugMonitor : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;

signals:
  // Drives may have come or gone; a burst of kernel events (a card with
  // its partitions) gives one signal.
  void DrivesChanged();
};

// Watches the kernel's "block" devices through a libudev monitor whose
// socket is read when the event loop sees it readable.
class UdevHotPlugMonitor final : public HotPlugMonitor {
  Q_OBJECT
public:
  UdevHotPlugMonitor();
  ~UdevHotPlugMonitor() override;

  bool Watching() const { return monitor_ != nullptr; }

private:
  void Drain();

  udev *udev_ = nullptr;
  udev_monitor *monitor_ = nullptr;
  QSocketNotifier *notifier_ = nullptr;
  QTimer settle_;
};

} // namespace orvanta::gui
