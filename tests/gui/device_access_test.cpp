#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <vector>

#include "gui/app/main_window.h"
#include "gui/desktop/desktop_device_opener.h"
#include "gui_fixture.h"
#include "platform/posix/posix_device.h"
#include "support/fat_image.h"

namespace orvanta::gui::test {
namespace {

using Outcome = DeviceOpenerService::Result::Outcome;

// A disk service that answers as told and records what it was asked.
class StandInDiskService final : public DeviceOpenerService {
public:
  explicit StandInDiskService(Outcome answer) : answer_(answer) {}
  Result Open(const std::filesystem::path &device, Access access) override {
    Asked.push_back({device, access});
    Result r;
    r.Status = answer_;
    if (answer_ == Outcome::Opened)
      r.Fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    return r;
  }
  std::vector<std::pair<std::filesystem::path, Access>> Asked;

private:
  Outcome answer_;
};

// The system's answer to a direct open, and whether the path is a block device.
std::unique_ptr<DesktopDeviceOpener> Opener(DeviceOpenerService *service, int directErrno, bool block) {
  return std::make_unique<DesktopDeviceOpener>(
      service,
      [directErrno](const std::filesystem::path &, int) {
        errno = directErrno;
        return directErrno == 0 ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
      },
      [block](const std::filesystem::path &) { return block; });
}

TEST(DesktopDeviceOpener, AsksTheDiskServiceOnlyForBlockDevicesTheUserMayNotOpen) {
  StandInDiskService service(Outcome::Opened);
  int fd = (*Opener(&service, 0, true))("/dev/sdb1", O_RDONLY); // root, or the disk group
  EXPECT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ((*Opener(&service, EACCES, false))("/home/me/card.img", O_RDONLY), -1); // an image
  EXPECT_EQ((*Opener(&service, ENOENT, true))("/dev/sdb1", O_RDONLY), -1);         // card gone
  EXPECT_TRUE(service.Asked.empty());

  fd = (*Opener(&service, EACCES, true))("/dev/sdb1", O_RDONLY);
  EXPECT_GE(fd, 0);
  ::close(fd);
  fd = (*Opener(&service, EPERM, true))("/dev/sdb1", O_RDWR);
  EXPECT_GE(fd, 0);
  ::close(fd);
  ASSERT_EQ(service.Asked.size(), 2u);
  EXPECT_EQ(service.Asked[0].second, DeviceOpenerService::Access::Read);
  EXPECT_EQ(service.Asked[1].second, DeviceOpenerService::Access::ReadWriteExclusive);
}

TEST(DesktopDeviceOpener, AnOpenTheServiceCannotGrantFailsWithTheSystemsRefusal) {
  // Refused by the policy, or no disk service to ask: the user lacks rights
  // either way, and the drive is not missing.
  for (const Outcome answer : {Outcome::Refused, Outcome::Failed})
    for (const int direct : {EACCES, EPERM}) {
      StandInDiskService service(answer);
      errno = 0;
      EXPECT_EQ((*Opener(&service, direct, true))("/dev/sdb1", O_RDONLY), -1);
      EXPECT_EQ(errno, direct);
    }
}

TEST(DesktopDeviceOpener, ADriveTheUserMayNotOpenIsNotReportedAsMissing) {
  struct Case {
    Outcome Answer;
    int DirectErrno;
    std::uint32_t Language;
    const char *Log;
  };
  const Case cases[] = {
      {Outcome::Refused, EACCES, 1, "Access to the drive was not granted."},
      {Outcome::Refused, EACCES, 2, "Der Zugriff auf das Laufwerk wurde nicht gewährt."},
      {Outcome::Failed, EACCES, 3, "L'accès au lecteur n'a pas été accordé."}, // no UDisks2
      {Outcome::Refused, ENOENT, 1, "Drive not found!"},                          // card gone
  };
  for (const Case &c : cases) {
    StandInDiskService service(c.Answer);
    GuiWorld world({{'E', "/dev/sdb1", {}}}, c.Language, Opener(&service, c.DirectErrno, true));
    DesktopDeviceOpener &access = world.Context().DeviceAccess();
    world.Context().Drives().SetDeviceFactory([&access](const DriveEntry &drive) {
      return std::make_shared<PosixDevice>(drive.Path, std::nullopt,
                                           [&access](const std::filesystem::path &path, int flags) {
                                             return access(path, flags);
                                           });
    });
    TForm1a w(world.Context());
    w.show();
    EXPECT_EQ(w.InfoList()->toPlainText(), QString::fromUtf8(c.Log));
  }
}

// Without a factory of the test's, the engine opens the listed drives
// through the desktop's opener, and so the disk service when needed.
TEST(DesktopDeviceOpener, TheEngineOpensTheListedDrivesThroughIt) {
  orvanta::test::TempDir dir;
  orvanta::test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  int opens = 0;
  auto access = std::make_unique<DesktopDeviceOpener>(
      nullptr, [&opens](const std::filesystem::path &path, int flags) {
        ++opens;
        return ::open(path.c_str(), flags | O_CLOEXEC);
      });
  GuiWorld world({{'E', card.Path(), {}}}, 1, std::move(access));
  TForm1a w(world.Context());
  w.show();
  EXPECT_TRUE(w.InfoList()->toPlainText().startsWith("FAT16, 16 Mb")) << w.InfoList()->toPlainText().toStdString();
  EXPECT_GT(opens, 0);
}

} // namespace
} // namespace orvanta::gui::test
