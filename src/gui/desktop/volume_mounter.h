#pragma once

#include <QDBusConnection>
#include <QString>

#include <filesystem>

#include "presentation/volume_mounter.h"

namespace orvanta::gui {

// UDisks2 over the system bus: the Filesystem interface of the device's
// block object (its MountPoints, Unmount and Mount); polkit decides.
class UDisks2Mounter final : public VolumeMounter {
public:
  static constexpr const char *kFilesystemInterface = "org.freedesktop.UDisks2.Filesystem";

  explicit UDisks2Mounter(QDBusConnection bus = QDBusConnection::systemBus(), int timeoutMs = 120000);

  bool CanUnmount(const std::filesystem::path &device) override;
  Outcome Unmount(const std::filesystem::path &device) override;
  Outcome Mount(const std::filesystem::path &device) override;

private:
  Outcome Call(const std::filesystem::path &device, const char *method);

  QDBusConnection bus_;
  int timeoutMs_;
};

} // namespace orvanta::gui
