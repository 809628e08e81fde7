#pragma once

#include <QDBusConnection>
#include <QString>

#include <filesystem>

namespace orvanta::gui {

// Opens a block device that the user may not open directly, by asking a
// system service to open it on the user's behalf (the administrator's
// password is asked for when the system's policy wants it).
class DeviceOpenerService {
public:
  enum class Access {
    Read,               // summaries, scans, restores
    ReadWriteExclusive, // wipes: nobody else may have the device open
  };

  struct Result {
    enum class Outcome { Opened, Refused, Failed };
    Outcome Status = Outcome::Failed;
    int Fd = -1;   // Opened: a descriptor the caller owns and closes
    QString Error; // otherwise: the service's explanation
  };

  virtual ~DeviceOpenerService() = default;
  virtual Result Open(const std::filesystem::path &device, Access access) = 0;

  // The same for the engine's device: `openFlags` as for open(2) decide the
  // access (O_RDONLY: Read; anything else: ReadWriteExclusive). The
  // descriptor, or -1 with errno EACCES when the user was refused and EIO
  // when the service failed.
  int OpenDescriptor(const std::filesystem::path &device, int openFlags);
};

// UDisks2 over the system bus: Block.OpenDevice of the device's block
// object, mode "r" or "rw" with O_EXCL; polkit decides and remembers its
// answer briefly.
class UDisks2Opener final : public DeviceOpenerService {
public:
  static constexpr const char *kService = "org.freedesktop.UDisks2";
  static constexpr const char *kBlockInterface = "org.freedesktop.UDisks2.Block";

  explicit UDisks2Opener(QDBusConnection bus = QDBusConnection::systemBus(), int timeoutMs = 120000);

  // The block object of a device node: /org/freedesktop/UDisks2/block_devices/
  // and its kernel name, escaped as UDisks2 does ("dm-0" → "dm_2d0").
  static QString BlockObjectPath(const std::filesystem::path &device);

  Result Open(const std::filesystem::path &device, Access access) override;

private:
  QDBusConnection bus_;
  int timeoutMs_;
};

} // namespace orvanta::gui
