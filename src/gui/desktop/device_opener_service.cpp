#include "gui/desktop/device_opener_service.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace orvanta::gui {

int DeviceOpenerService::OpenDescriptor(const std::filesystem::path &device, int openFlags) {
  const Access access = (openFlags & O_ACCMODE) == O_RDONLY ? Access::Read : Access::ReadWriteExclusive;
  const Result result = Open(device, access);
  if (result.Status == Result::Outcome::Opened)
    return result.Fd;
  errno = result.Status == Result::Outcome::Refused ? EACCES : EIO;
  return -1;
}

UDisks2Opener::UDisks2Opener(QDBusConnection bus, int timeoutMs) : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

QString UDisks2Opener::BlockObjectPath(const std::filesystem::path &device) {
  std::error_code error;
  std::filesystem::path node = std::filesystem::canonical(device, error); // /dev/disk/by-id/... links
  if (error)
    node = device;
  QString name;
  for (const unsigned char c : node.filename().string()) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      name += QChar(c);
    else
      name += QStringLiteral("_%1").arg(c, 2, 16, QChar('0'));
  }
  return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name;
}

DeviceOpenerService::Result UDisks2Opener::Open(const std::filesystem::path &device, Access access) {
  Result result;
  if (!bus_.isConnected()) {
    result.Error = QStringLiteral("The system bus is not available.");
    return result;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), BlockObjectPath(device),
                                                     QLatin1String(kBlockInterface), QStringLiteral("OpenDevice"));
  QVariantMap options;
  if (access == Access::ReadWriteExclusive)
    options.insert(QStringLiteral("flags"), int{O_EXCL});
  call << (access == Access::Read ? QStringLiteral("r") : QStringLiteral("rw")) << options;
  call.setInteractiveAuthorizationAllowed(true);
  const QDBusMessage reply = bus_.call(call, QDBus::Block, timeoutMs_);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    result.Error = reply.errorMessage();
    result.Status = reply.errorName().startsWith(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorized"))
                        ? Result::Outcome::Refused
                        : Result::Outcome::Failed;
    return result;
  }
  if (reply.arguments().size() != 1 || !reply.arguments().front().canConvert<QDBusUnixFileDescriptor>()) {
    result.Error = QStringLiteral("UDisks2 gave no file descriptor.");
    return result;
  }
  const auto fd = reply.arguments().front().value<QDBusUnixFileDescriptor>();
  // The reply's descriptor closes with it; the caller gets its own.
  result.Fd = fd.isValid() ? ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  result.Status = result.Fd >= 0 ? Result::Outcome::Opened : Result::Outcome::Failed;
  return result;
}

} // namespace orvanta::gui
