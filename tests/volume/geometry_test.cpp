#include <gtest/gtest.h>
#include <regex>

#include "platform/memory_device.h"
#include "platform/posix/posix_device.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/temp_dir.h"
#include "volume/byte_reader.h"
#include "volume/volume.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

using test::MkfsOptions;
using test::TempDir;

// The layout as The Sleuth Kit's fsstat reads it.
struct FsstatLayout {
  std::int64_t SectorSize = 0, ClusterSize = 0, Reserved = 0, FatSectors = 0, FatCount = 0;
  std::int64_t DataStart = 0, RootSectors = 0, TotalSectors = 0;
};

FsstatLayout Fsstat(const std::filesystem::path &image, std::uint32_t sectorSize) {
  const std::string out = test::RunOrFail(
      {"fsstat", "-b", std::to_string(sectorSize), image.string()});
  FsstatLayout l;
  std::smatch m;
  auto find = [&](const char *pattern) {
    EXPECT_TRUE(std::regex_search(out, m, std::regex(pattern))) << pattern << "\n" << out;
  };
  find(R"(Sector Size: (\d+))");
  l.SectorSize = std::stoll(m[1]);
  find(R"(Cluster Size: (\d+))");
  l.ClusterSize = std::stoll(m[1]);
  find(R"(Total Range: 0 - (\d+))");
  l.TotalSectors = std::stoll(m[1]) + 1;
  find(R"(\* Reserved: 0 - (\d+))");
  l.Reserved = std::stoll(m[1]) + 1;
  find(R"(\* FAT 0: (\d+) - (\d+))");
  l.FatSectors = std::stoll(m[2]) - std::stoll(m[1]) + 1;
  const std::regex fatLine(R"(\* FAT \d+:)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), fatLine);
       it != std::sregex_iterator(); ++it)
    ++l.FatCount;
  find(R"(\* Data Area: (\d+) - )");
  l.DataStart = std::stoll(m[1]);
  if (std::regex_search(out, m, std::regex(R"(\*\* Root Directory: (\d+) - (\d+))")))
    l.RootSectors = std::stoll(m[2]) - std::stoll(m[1]) + 1;
  return l;
}

struct Case {
  const char *Name;
  MkfsOptions Mkfs;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.Name; }

class MkfsGeometry : public ::testing::TestWithParam<Case> {};

// Every field as the rules give it, with The Sleuth Kit as the witness of
// the layout that mkfs.fat wrote.
TEST_P(MkfsGeometry, FieldsFollowTheBootSector) {
  TempDir dir;
  const auto &c = GetParam();
  test::FatImageFile image(dir / "card.img", c.Mkfs);
  FixedDrives drives;
  // No sector size is given: an image takes its boot sector's.
  drives.Add("E:", std::make_shared<PosixDevice>(image.Path()));
  Volume volume(drives);
  ASSERT_EQ(OpenVolume(volume, "E:", /*loadFat=*/true), VolumeCheck::Ok);
  const auto &g = volume.Geometry();
  const auto tsk = Fsstat(image.Path(), c.Mkfs.SectorSize);

  EXPECT_EQ(g.DrivePath, "E:");
  EXPECT_EQ(g.FatType, c.Mkfs.FatBits == 32 ? 32 : 16);
  EXPECT_EQ(g.BytesPerSector, tsk.SectorSize);
  EXPECT_EQ(g.BytesPerCluster, tsk.ClusterSize);
  EXPECT_EQ(g.SectorsPerCluster, tsk.ClusterSize / tsk.SectorSize);
  EXPECT_EQ(g.ReservedSectors, tsk.Reserved);
  EXPECT_EQ(g.FatCount, tsk.FatCount);
  EXPECT_EQ(g.SectorsPerFat, tsk.FatSectors);
  EXPECT_EQ(g.FatBytes, tsk.FatSectors * tsk.SectorSize);
  EXPECT_EQ(g.RootStartSector, tsk.Reserved + tsk.FatCount * tsk.FatSectors);
  if (g.FatType == 16) {
    EXPECT_EQ(g.RootStartSector, tsk.DataStart);
    EXPECT_EQ(g.RootSectors, tsk.RootSectors);
  } else {
    EXPECT_EQ(g.RootStartSector, tsk.DataStart); // cluster 2
    EXPECT_EQ(g.RootSectors, g.SectorsPerCluster);
  }
  // The volume's own count, from whichever total field mkfs.fat set.
  EXPECT_EQ(g.TotalSectors, tsk.TotalSectors);
  EXPECT_EQ(g.ClusterCount, g.TotalSectors / g.SectorsPerCluster);
  EXPECT_EQ(volume.FatImage().size(), static_cast<std::size_t>(g.FatBytes));
}

INSTANTIATE_TEST_SUITE_P(
    Images, MkfsGeometry,
    ::testing::Values(
        Case{"fat16_64m_s4", {.FatBits = 16, .SizeKiB = 64 * 1024, .SectorsPerCluster = 4}},
        Case{"fat16_128m_s32", {.FatBits = 16, .SizeKiB = 128 * 1024, .SectorsPerCluster = 32}},
        Case{"fat16_small_zero_total", {.FatBits = 16, .SizeKiB = 16 * 1024}},
        Case{"fat32_64m_s1", {.FatBits = 32, .SizeKiB = 64 * 1024, .SectorsPerCluster = 1}},
        Case{"fat32_512m_s8", {.FatBits = 32, .SizeKiB = 512 * 1024, .SectorsPerCluster = 8}},
        Case{"fat32_4k_sectors",
             {.FatBits = 32, .SizeKiB = 512 * 1024, .SectorsPerCluster = 1, .SectorSize = 4096}},
        Case{"fat16_4k_sectors",
             {.FatBits = 16, .SizeKiB = 64 * 1024, .SectorsPerCluster = 1, .SectorSize = 4096}},
        Case{"fat16_1k_sectors_6m",
             {.FatBits = 16, .SizeKiB = 6 * 1024, .SectorsPerCluster = 1, .SectorSize = 1024}},
        Case{"fat32_2k_sectors",
             {.FatBits = 32, .SizeKiB = 256 * 1024, .SectorsPerCluster = 1, .SectorSize = 2048}}),
    [](const auto &param) { return std::string(param.param.Name); });

// Geometry of a crafted boot sector on an in-memory device.
struct Crafted {
  std::shared_ptr<MemoryDevice> Device;
  FixedDrives Drives;
  Volume Vol{Drives};
  explicit Crafted(std::vector<std::uint8_t> bytes, std::uint32_t sectorSize = 512)
      : Device(std::make_shared<MemoryDevice>(std::move(bytes), sectorSize)) {
    Drives.Add("E:", Device);
  }
  bool Read(int fatType) {
    Vol.Geometry().DrivePath = "E:";
    Vol.Geometry().FatType = static_cast<std::uint8_t>(fatType);
    return Vol.ReadGeometry();
  }
};

TEST(ReadGeometry, ZeroSectorsPerClusterFallsBackToTheReservedCount) {
  test::CraftedVolume v({.FatBits = 32, .ReservedSectors = 32});
  v.Bytes[13] = 0;
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(32));
  EXPECT_EQ(c.Vol.Geometry().SectorsPerCluster, 32);

  test::CraftedVolume w({.FatBits = 16, .ReservedSectors = 3});
  w.Bytes[13] = 0;
  Crafted d(w.Bytes);
  ASSERT_TRUE(d.Read(16));
  EXPECT_EQ(d.Vol.Geometry().SectorsPerCluster, 6);
}

TEST(ReadGeometry, NoSectorsPerClusterAndNoReservedSectorsIsRefused) {
  test::CraftedVolume v({.FatBits = 32});
  v.Bytes[13] = 0;
  v.PutLe16(14, 0);
  Crafted c(v.Bytes);
  EXPECT_FALSE(c.Read(32));
}

TEST(ReadGeometry, TheVolumeEndsWhereItsTotalFieldsSay) {
  // The 16-bit total wins when set, whatever the 32-bit one holds.
  test::CraftedVolume v({.FatBits = 16});
  v.PutLe32(32, 0);
  v.PutLe16(19, 5000);
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(16));
  EXPECT_EQ(c.Vol.Geometry().TotalSectors, 5000);
  v.PutLe32(32, 7000);
  Crafted d(v.Bytes);
  ASSERT_TRUE(d.Read(16));
  EXPECT_EQ(d.Vol.Geometry().TotalSectors, 5000);
  // Only with both at 0 is the size estimated from the FAT's length.
  v.PutLe16(19, 0);
  v.PutLe32(32, 0);
  Crafted e(v.Bytes);
  ASSERT_TRUE(e.Read(16));
  const auto &g = e.Vol.Geometry();
  EXPECT_EQ(g.TotalSectors, g.SectorsPerFat * 512 * 4 - g.RootStartSector);
}

TEST(ReadGeometry, Fat32ZeroTotalIsEstimatedWithEightTimesTheFat) {
  test::CraftedVolume v({.FatBits = 32});
  v.PutLe32(32, 0);
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(32));
  const auto &g = c.Vol.Geometry();
  EXPECT_EQ(g.TotalSectors, g.SectorsPerFat * 512 * 8 - g.RootStartSector);
}

TEST(ReadGeometry, SectorSizeIsProbedAndMustAgreeWithTheBootSector) {
  test::CraftedVolume v({.FatBits = 32, .SectorSize = 4096});
  Crafted c(v.Bytes, 4096);
  ASSERT_TRUE(c.Read(32));
  EXPECT_EQ(c.Vol.Geometry().BytesPerSector, 4096);
  EXPECT_EQ(c.Vol.Geometry().BytesPerCluster, 4096);
  // Reads of 512 to 3584 bytes were refused before 4096 was accepted.
  EXPECT_EQ(c.Device->Reads(), 8u);
  // A device of other sectors than the volume states is never read with them.
  for (const std::uint16_t field : std::initializer_list<std::uint16_t>{512, 2048, 0, 4097}) {
    v.PutLe16(11, field);
    EXPECT_FALSE(Crafted(v.Bytes, 4096).Read(32)) << field;
  }
}

TEST(ReadGeometry, ADeviceThatAcceptsNoLengthFails) {
  test::CraftedVolume v({.FatBits = 16});
  Crafted c(v.Bytes);
  c.Device->FailReads(0, 0);
  EXPECT_FALSE(c.Read(16));
}

TEST(ReadGeometry, HostileFieldsKeepTheirValues) {
  test::CraftedVolume v({.FatBits = 32});
  v.PutLe32(36, 0xFFFFFFF0); // sectors per FAT
  v.PutLe32(32, 0x80000001); // total sectors
  v.Bytes[16] = 255;
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(32));
  const auto &g = c.Vol.Geometry();
  EXPECT_EQ(g.TotalSectors, 0x80000001);
  EXPECT_EQ(g.SectorsPerFat, 0xFFFFFFF0);
  EXPECT_EQ(g.FatBytes, std::int64_t{0xFFFFFFF0} * 512);
  EXPECT_EQ(g.RootStartSector, std::int64_t{0xFFFFFFF0} * 255 + g.ReservedSectors);
  EXPECT_FALSE(c.Vol.LoadFatImage());
}

TEST(LoadFatImage, AFatBeyondTheDeviceIsRefusedWithoutReadingIt) {
  test::CraftedVolume v({.FatBits = 32});
  v.PutLe32(36, 0x00FFFFFF); // 8 GiB of FAT on a card of 70 KiB
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(32));
  const auto reads = c.Device->Reads();
  EXPECT_FALSE(c.Vol.LoadFatImage());
  EXPECT_TRUE(c.Vol.FatImage().empty());
  EXPECT_EQ(c.Device->Reads(), reads);
}

TEST(LoadFatImage, AFailedReadLeavesZerosAndFails) {
  test::CraftedVolume v({.FatBits = 16});
  Crafted c(v.Bytes);
  ASSERT_TRUE(c.Read(16));
  c.Device->FailReads(1, 1);
  EXPECT_FALSE(c.Vol.LoadFatImage());
  ASSERT_EQ(c.Vol.FatImage().size(), static_cast<std::size_t>(c.Vol.Geometry().FatBytes));
  for (auto b : c.Vol.FatImage())
    ASSERT_EQ(b, 0);
}

} // namespace
} // namespace orvanta
