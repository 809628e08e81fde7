#include "gui/desktop/volume_mounter.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QVariantMap>

#include "gui/desktop/device_opener_service.h"

namespace orvanta::gui {

UDisks2Mounter::UDisks2Mounter(QDBusConnection bus, int timeoutMs) : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

bool UDisks2Mounter::CanUnmount(const std::filesystem::path &device) {
  if (!bus_.isConnected())
    return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(UDisks2Opener::kService), UDisks2Opener::BlockObjectPath(device),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << QLatin1String(kFilesystemInterface) << QStringLiteral("MountPoints");
  const QDBusMessage reply = bus_.call(call, QDBus::Block, timeoutMs_);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
    return false;
  // A variant holding "aay": one NUL-terminated path per mount.
  const QVariant value = reply.arguments().front().value<QDBusVariant>().variant();
  const auto mountPoints = qdbus_cast<QList<QByteArray>>(value);
  return !mountPoints.isEmpty();
}

VolumeMounter::Outcome UDisks2Mounter::Unmount(const std::filesystem::path &device) {
  return Call(device, "Unmount");
}

VolumeMounter::Outcome UDisks2Mounter::Mount(const std::filesystem::path &device) {
  return Call(device, "Mount");
}

VolumeMounter::Outcome UDisks2Mounter::Call(const std::filesystem::path &device, const char *method) {
  if (!bus_.isConnected())
    return Outcome::Failed;
  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(UDisks2Opener::kService), UDisks2Opener::BlockObjectPath(device),
                                     QLatin1String(kFilesystemInterface), QLatin1String(method));
  call << QVariantMap();
  call.setInteractiveAuthorizationAllowed(true);
  const QDBusMessage reply = bus_.call(call, QDBus::Block, timeoutMs_);
  if (reply.type() == QDBusMessage::ReplyMessage)
    return Outcome::Done;
  const QString error = reply.errorName();
  if (error == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy"))
    return Outcome::Busy;
  if (error.startsWith(QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorized")))
    return Outcome::Refused;
  // Mounting a volume that is mounted already leaves it where it is.
  if (error == QLatin1String("org.freedesktop.UDisks2.Error.AlreadyMounted"))
    return Outcome::Done;
  return Outcome::Failed;
}

} // namespace orvanta::gui
