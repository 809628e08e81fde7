#pragma once

#include <QDBusConnection>
#include <QString>

#include <filesystem>

namespace orvanta::gui {

// Lets go of a card that the desktop mounted as it was plugged in, for the
// length of a wipe, and mounts it again afterwards. Calls block; they may be
// made from a worker thread.
class VolumeMounter {
public:
  enum class Outcome {
    Done,
    Busy,    // a program has files open on the volume
    Refused, // the user or the system's policy said no
    Failed,  // anything else: no such device, no service
  };

  virtual ~VolumeMounter() = default;
  // Whether the device's file system is mounted where this service can
  // unmount it.
  virtual bool CanUnmount(const std::filesystem::path &device) = 0;
  virtual Outcome Unmount(const std::filesystem::path &device) = 0;
  virtual Outcome Mount(const std::filesystem::path &device) = 0;
};

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
