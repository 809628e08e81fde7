#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/posix/posix_device.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::TempDir;

std::filesystem::path MakeFile(const TempDir &dir, const std::string &name, std::size_t size) {
  const auto path = dir / name;
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(i / 512);
  test::WriteFileBytes(path, bytes);
  return path;
}

TEST(PosixDevice, ImagesTransferWholeSectorsOfTheirGivenSize) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 16 * 512);
  PosixDevice d512(path);
  std::vector<std::uint8_t> buf(512);
  ASSERT_TRUE(d512.Read(3 * 512, buf));
  EXPECT_EQ(buf[0], 3);
  EXPECT_FALSE(d512.Read(100, buf));
  std::vector<std::uint8_t> odd(700);
  EXPECT_FALSE(d512.Read(0, odd));

  PosixDevice d4k(path, 4096);
  EXPECT_FALSE(d4k.Read(0, buf));
  std::vector<std::uint8_t> four(4096);
  EXPECT_TRUE(d4k.Read(4096, four));
  EXPECT_EQ(four[0], 8);
  EXPECT_EQ(d4k.SizeBytes(), 16u * 512);
}

TEST(PosixDevice, ImagesWithoutAGivenSizeTakeTheirBootSectorsSectorSize) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 16 * 512);
  auto field = [&](std::uint16_t size) {
    auto bytes = test::ReadFileBytes(path);
    bytes[11] = static_cast<std::uint8_t>(size);
    bytes[12] = static_cast<std::uint8_t>(size >> 8);
    test::WriteFileBytes(path, bytes);
  };
  std::vector<std::uint8_t> one(512), four(2048, 0xCD);
  field(2048);
  PosixDevice d(path);
  EXPECT_FALSE(d.Read(0, one));
  EXPECT_TRUE(d.Read(0, four));
  EXPECT_FALSE(d.Write(512, one));
  std::fill(four.begin(), four.end(), 0xCD);
  EXPECT_TRUE(d.Write(2048, four)); // a write learns it too
  EXPECT_EQ(test::ReadFileBytes(path)[2048], 0xCD);
  EXPECT_TRUE(PosixDevice(path, 512).Read(0, one)); // a given size wins
  field(3000); // no sector size a FAT volume has
  EXPECT_TRUE(PosixDevice(path).Read(512, one));
}

TEST(PosixDevice, TransfersPastTheEndFailWholeAndNeverGrowTheImage) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 8 * 512);
  PosixDevice d(path);
  std::vector<std::uint8_t> two(1024, 0xAB);
  EXPECT_FALSE(d.Read(7 * 512, two));
  EXPECT_FALSE(d.Write(7 * 512, two));
  EXPECT_EQ(std::filesystem::file_size(path), 8u * 512);
  const auto before = test::ReadFileBytes(path);
  EXPECT_EQ(before[7 * 512], 7); // the part that was inside stays as it was
  EXPECT_TRUE(d.Write(6 * 512, two));
  EXPECT_EQ(test::ReadFileBytes(path)[7 * 512], 0xAB);
}

TEST(PosixDevice, AMissingOrReadOnlyImageFailsQuietly) {
  TempDir dir;
  PosixDevice missing(dir / "nothing.img");
  std::vector<std::uint8_t> buf(512);
  EXPECT_FALSE(missing.Read(0, buf));
  EXPECT_FALSE(missing.SizeBytes().has_value());
  EXPECT_FALSE(missing.RootReachable());
  EXPECT_EQ(missing.FileSystemName(), "");

  const auto path = MakeFile(dir, "ro.img", 4 * 512);
  PosixDevice ro(path);
  EXPECT_TRUE(ro.RootReachable());
  EXPECT_TRUE(ro.WritableExclusively());
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  if (::geteuid() != 0) { // root writes whatever the permissions say
    EXPECT_FALSE(ro.Write(0, buf));
    EXPECT_FALSE(ro.WritableExclusively());
  }
  EXPECT_TRUE(ro.Read(0, buf));
}

// An opener that counts its calls and, like a disk service that grants
// reading only, can refuse every open for writing.
struct CountingOpener {
  int Opens = 0;
  bool RefuseWriting = false;
  DeviceOpener Get() {
    return [this](const std::filesystem::path &path, int flags) {
      ++Opens;
      if (RefuseWriting && (flags & O_ACCMODE) != O_RDONLY) {
        errno = EACCES;
        return -1;
      }
      return ::open(path.c_str(), flags | O_CLOEXEC);
    };
  }
};

TEST(PosixDevice, ASessionOpensOnceAndAgainOnlyAfterAFailedTransfer) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 16 * 512);
  CountingOpener opener;
  PosixDevice d(path, std::nullopt, opener.Get());
  std::vector<std::uint8_t> buf(512);
  d.BeginSession(DeviceAccess::ReadWrite);
  EXPECT_TRUE(d.RootReachable());
  EXPECT_EQ(d.SizeBytes(), 16u * 512);
  EXPECT_EQ(d.FileSystemName(), "");
  EXPECT_TRUE(d.WritableExclusively());
  EXPECT_TRUE(d.Read(3 * 512, buf));
  EXPECT_EQ(buf[0], 3);
  EXPECT_TRUE(d.Write(5 * 512, buf));
  EXPECT_FALSE(d.Read(100, buf)); // refused before any transfer: still open
  EXPECT_EQ(opener.Opens, 1);
  // Another, smaller medium under the session: the read past its end fails
  // on the device, and the next transfer opens and measures it anew.
  std::filesystem::resize_file(path, 8 * 512);
  EXPECT_FALSE(d.Read(12 * 512, buf));
  EXPECT_EQ(opener.Opens, 1);
  EXPECT_FALSE(d.Read(12 * 512, buf));
  EXPECT_EQ(d.SizeBytes(), 8u * 512);
  EXPECT_EQ(opener.Opens, 2);
  EXPECT_TRUE(d.EndSession()); // what it wrote is flushed
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_EQ(d.SizeBytes(), 8u * 512);
  EXPECT_EQ(opener.Opens, 4); // outside a session, once a call
  EXPECT_EQ(test::ReadFileBytes(path)[5 * 512], 3);
}

TEST(PosixDevice, ASessionForWritingStillReadsWhereWritingIsRefused) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 16 * 512);
  CountingOpener opener;
  opener.RefuseWriting = true;
  PosixDevice d(path, std::nullopt, opener.Get());
  std::vector<std::uint8_t> buf(512, 0xAB);
  d.BeginSession(DeviceAccess::ReadWrite);
  EXPECT_FALSE(d.WritableExclusively());
  EXPECT_FALSE(d.Write(0, buf));
  EXPECT_TRUE(d.Read(2 * 512, buf));
  EXPECT_EQ(buf[0], 2);
  EXPECT_EQ(opener.Opens, 2); // writing refused, then reading granted
  d.EndSession();
}

TEST(PosixDevice, LooksAtAnImageInPlaceOnlyInASessionAndSurvivesItsCutting) {
  TempDir dir;
  const auto path = MakeFile(dir, "card.img", 64 * 512);
  PosixDevice d(path);
  EXPECT_TRUE(d.Look(0, 512).empty()); // outside a session: read instead
  d.BeginSession(DeviceAccess::Read);
  EXPECT_TRUE(d.Look(100, 512).empty());       // not whole sectors
  EXPECT_TRUE(d.Look(60 * 512, 8 * 512).empty()); // past the end
  auto look = d.Look(8 * 512, 48 * 512);
  ASSERT_EQ(look.size(), 48u * 512);
  std::vector<std::uint8_t> read(48 * 512);
  ASSERT_TRUE(d.Read(8 * 512, read));
  EXPECT_TRUE(std::equal(look.begin(), look.end(), read.begin()));

  // The image is cut short under the held look: its lost pages read as
  // zeros instead of killing the process, and no further look is given.
  std::filesystem::resize_file(path, 16 * 512);
  unsigned sum = 0;
  for (const auto byte : look)
    sum += byte;
  EXPECT_EQ(sum, 512u * (8 + 9 + 10 + 11 + 12 + 13 + 14 + 15));
  EXPECT_TRUE(d.Look(0, 512).empty());
  d.EndSession();

  d.BeginSession(DeviceAccess::Read); // a new session looks again
  EXPECT_EQ(d.Look(0, 16 * 512).size(), 16u * 512);
  d.EndSession();
}

TEST(PosixDevice, NamesFileSystemsAsTheSystemWould) {
  TempDir dir;
  test::FatImageFile fat16(dir / "16.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  test::FatImageFile fat32(dir / "32.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  test::FatImageFile fat12(dir / "12.img", {.FatBits = 12, .SizeKiB = 1440});
  EXPECT_EQ(PosixDevice(fat16.Path()).FileSystemName(), "FAT");
  EXPECT_EQ(PosixDevice(fat12.Path()).FileSystemName(), "FAT");
  EXPECT_EQ(PosixDevice(fat32.Path()).FileSystemName(), "FAT32");

  const auto ext4 = dir / "ext4.img";
  test::WriteFileBytes(ext4, std::vector<std::uint8_t>(8 << 20));
  test::RunOrFail({"mkfs.ext4", "-q", "-F", ext4.string()});
  EXPECT_EQ(PosixDevice(ext4).FileSystemName(), "ext4");

  const auto ntfs = dir / "ntfs.img";
  test::WriteFileBytes(ntfs, std::vector<std::uint8_t>(16 << 20));
  test::Run({"mkntfs", "-F", "-Q", "-q", ntfs.string()});
  EXPECT_EQ(PosixDevice(ntfs).FileSystemName(), "NTFS");

  EXPECT_EQ(PosixDevice(MakeFile(dir, "blob.img", 64 * 512)).FileSystemName(), "");
}

TEST(FindMountPoint, ReadsTheKernelTableAndItsEscapes) {
  // Any block device of this machine will do: the table below is made up.
  std::filesystem::path device;
  for (const auto &entry : std::filesystem::directory_iterator("/sys/class/block")) {
    const auto node = std::filesystem::path("/dev") / entry.path().filename();
    struct stat st {};
    if (::stat(node.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      device = node;
      break;
    }
  }
  if (device.empty())
    GTEST_SKIP() << "no block device to name";
  struct stat st {};
  ASSERT_EQ(::stat(device.c_str(), &st), 0);
  TempDir dir;
  const auto table = dir / "mountinfo";
  std::ofstream(table) << "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
                       << "30 1 " << major(st.st_rdev) << ":" << minor(st.st_rdev)
                       << " / /media/my\\040card rw,relatime shared:1 - vfat " << device.string()
                       << " rw\n";
  EXPECT_EQ(FindMountPoint(device, {table, "/sys"}), std::filesystem::path("/media/my card"));
  std::ofstream(table) << "22 1 0:21 / /proc rw,nosuid - proc proc rw\n";
  EXPECT_FALSE(FindMountPoint(device, {table, "/sys"}).has_value());
}

} // namespace
} // namespace orvanta
