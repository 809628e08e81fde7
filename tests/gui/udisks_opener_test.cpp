// The UDisks2 opener against a stand-in UDisks2 on a private bus: a
// dbus-daemon of its own, with a fake block object that opens an image file
// or refuses as polkit would.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QThread>
#include <QVariantMap>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include "gui/desktop/device_opener_service.h"
#include "gui/desktop/volume_mounter.h"
#include "support/temp_dir.h"

namespace orvanta::gui::test {

class FakeUDisksBlock : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Block")
public:
  std::string Image;
  bool Refuse = false;
  QString LastMode;
  int LastFlags = -1;

public slots:
  QDBusUnixFileDescriptor OpenDevice(const QString &mode, const QVariantMap &options) {
    LastMode = mode;
    LastFlags = options.value(QStringLiteral("flags"), 0).toInt();
    if (Refuse) {
      sendErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed"),
                     QStringLiteral("The authentication dialog was dismissed"));
      return {};
    }
    const int fd = ::open(Image.c_str(), mode == "r" ? O_RDONLY : O_RDWR);
    QDBusUnixFileDescriptor out(fd);
    ::close(fd);
    return out;
  }
};

// The file system of a block object: mounted where MountPoints says.
class FakeUDisksFilesystem : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Filesystem")
  Q_PROPERTY(QList<QByteArray> MountPoints READ MountPoints)
public:
  FakeUDisksFilesystem() { qDBusRegisterMetaType<QList<QByteArray>>(); }
  QList<QByteArray> Mounted{QByteArray("/media/me/CARD\0", 15)};
  QString UnmountError; // the error the next Unmount answers with
  QList<QByteArray> MountPoints() const { return Mounted; }

public slots:
  void Unmount(const QVariantMap &) {
    if (!UnmountError.isEmpty())
      sendErrorReply(UnmountError, QStringLiteral("Not now"));
    else
      Mounted.clear();
  }
  QString Mount(const QVariantMap &) {
    Mounted = {QByteArray("/media/me/CARD\0", 15)};
    return QStringLiteral("/media/me/CARD");
  }
};

namespace {

// dbus-daemon with a bus of its own, stopped at the end.
class PrivateBus {
public:
  PrivateBus() {
    daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000))
      address_ = QString::fromLatin1(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-udisks"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    daemon_.terminate();
    daemon_.waitForFinished(3000);
  }
  const QString &Address() const { return address_; }

private:
  QProcess daemon_;
  QString address_;
};

class UDisks2OpenerTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (bus_.Address().isEmpty())
      GTEST_SKIP() << "dbus-daemon is not available";
    std::ofstream(image_, std::ios::binary) << "FAT image bytes";
    block_.Image = image_.string();
    service_ = QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("fake-udisks"));
    ASSERT_TRUE(service_.registerService(UDisks2Opener::kService));
    // The service answers from a thread of its own while the opener waits.
    worker_.start();
    block_.moveToThread(&worker_);
    filesystem_.moveToThread(&worker_);
    ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdz1"),
                                        &block_, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdz2"),
                                        &filesystem_,
                                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
  }
  void TearDown() override {
    worker_.quit();
    worker_.wait();
  }
  UDisks2Opener Opener() {
    return UDisks2Opener(QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("client")), 5000);
  }
  static std::string ReadAll(int fd) {
    char buffer[64] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }

  PrivateBus bus_;
  orvanta::test::TempDir dir_;
  std::filesystem::path image_ = dir_ / "card.img";
  FakeUDisksBlock block_;
  FakeUDisksFilesystem filesystem_;
  QDBusConnection service_{QString()};
  QThread worker_;
};

TEST(UDisks2ObjectPath, KernelNamesAreEscapedAsUDisks2Does) {
  EXPECT_EQ(UDisks2Opener::BlockObjectPath("/dev/nonexistent/sdb1"),
            "/org/freedesktop/UDisks2/block_devices/sdb1");
  EXPECT_EQ(UDisks2Opener::BlockObjectPath("/dev/nonexistent/dm-0"),
            "/org/freedesktop/UDisks2/block_devices/dm_2d0");
}

TEST_F(UDisks2OpenerTest, GrantedReadOpensReadOnlyAndHandsOverTheDescriptor) {
  UDisks2Opener opener = Opener();
  const auto result = opener.Open("/dev/nonexistent/sdz1", DeviceOpenerService::Access::Read);
  ASSERT_EQ(result.Status, DeviceOpenerService::Result::Outcome::Opened) << result.Error.toStdString();
  EXPECT_EQ(block_.LastMode, "r");
  EXPECT_EQ(block_.LastFlags, 0);
  EXPECT_EQ(ReadAll(result.Fd), "FAT image bytes");
  EXPECT_EQ(::fcntl(result.Fd, F_GETFL) & O_ACCMODE, O_RDONLY);
  ::close(result.Fd);
}

TEST_F(UDisks2OpenerTest, AWipeAsksForExclusiveReadWrite) {
  UDisks2Opener opener = Opener();
  const int fd = opener.OpenDescriptor("/dev/nonexistent/sdz1", O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(block_.LastMode, "rw");
  EXPECT_EQ(block_.LastFlags, O_EXCL);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_ACCMODE, O_RDWR);
  ::close(fd);
}

TEST_F(UDisks2OpenerTest, ARefusalIsReportedAsRefusedNotAsAMissingDrive) {
  block_.Refuse = true;
  UDisks2Opener opener = Opener();
  const auto result = opener.Open("/dev/nonexistent/sdz1", DeviceOpenerService::Access::Read);
  EXPECT_EQ(result.Status, DeviceOpenerService::Result::Outcome::Refused);
  EXPECT_EQ(result.Fd, -1);
  errno = 0;
  EXPECT_EQ(opener.OpenDescriptor("/dev/nonexistent/sdz1", O_RDONLY), -1);
  EXPECT_EQ(errno, EACCES);
  // A device UDisks2 does not know is a failure, not a refusal.
  EXPECT_EQ(opener.Open("/dev/nonexistent/sdq9", DeviceOpenerService::Access::Read).Status,
            DeviceOpenerService::Result::Outcome::Failed);
}

TEST_F(UDisks2OpenerTest, TheMounterLetsGoOfAMountedFileSystemAndMountsItAgain) {
  UDisks2Mounter mounter(QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("client")), 5000);
  using Outcome = VolumeMounter::Outcome;
  EXPECT_FALSE(mounter.CanUnmount("/dev/nonexistent/sdz1")); // no file system on it
  EXPECT_FALSE(mounter.CanUnmount("/dev/nonexistent/sdq9")); // unknown to UDisks2
  EXPECT_EQ(mounter.Unmount("/dev/nonexistent/sdq9"), Outcome::Failed);
  EXPECT_TRUE(mounter.CanUnmount("/dev/nonexistent/sdz2"));

  filesystem_.UnmountError = QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy");
  EXPECT_EQ(mounter.Unmount("/dev/nonexistent/sdz2"), Outcome::Busy);
  filesystem_.UnmountError = QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed");
  EXPECT_EQ(mounter.Unmount("/dev/nonexistent/sdz2"), Outcome::Refused);
  EXPECT_TRUE(mounter.CanUnmount("/dev/nonexistent/sdz2"));

  filesystem_.UnmountError.clear();
  EXPECT_EQ(mounter.Unmount("/dev/nonexistent/sdz2"), Outcome::Done);
  EXPECT_FALSE(mounter.CanUnmount("/dev/nonexistent/sdz2"));
  EXPECT_EQ(mounter.Mount("/dev/nonexistent/sdz2"), Outcome::Done);
  EXPECT_TRUE(mounter.CanUnmount("/dev/nonexistent/sdz2"));
}

} // namespace
} // namespace orvanta::gui::test

#include "udisks_opener_test.moc"
