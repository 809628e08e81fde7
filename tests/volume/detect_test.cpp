#include <cstring>
#include <gtest/gtest.h>

#include "platform/memory_device.h"
#include "support/crafted_volume.h"
#include "volume/volume.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

struct Drive {
  std::shared_ptr<MemoryDevice> Device;
  FixedDrives Drives;
  Volume Vol{Drives};
  explicit Drive(std::vector<std::uint8_t> bytes, std::string systemName = "",
                 std::uint32_t sectorSize = 512)
      : Device(std::make_shared<MemoryDevice>(std::move(bytes), sectorSize)) {
    Device->SetFileSystemName(std::move(systemName));
    Drives.Add("E:", Device);
  }
};

TEST(DetectFileSystem, TheSystemsNameDecidesWithoutTouchingTheDevice) {
  for (const auto &[name, code] : std::vector<std::pair<std::string, int>>{
           {"FAT", 16}, {"FAT32", 32}, {"NTFS", 64}}) {
    Drive d(std::vector<std::uint8_t>(4096), name);
    EXPECT_EQ(d.Vol.DetectFileSystem("E:"), code) << name;
    EXPECT_EQ(d.Device->Reads(), 0u) << name;
  }
}

TEST(DetectFileSystem, OtherNamesFallBackToTheBootSectorTexts) {
  test::CraftedVolume fat16({.FatBits = 16});
  test::CraftedVolume fat32({.FatBits = 32});
  EXPECT_EQ(Drive(fat16.Bytes, "exfat").Vol.DetectFileSystem("E:"), 16);
  EXPECT_EQ(Drive(fat32.Bytes).Vol.DetectFileSystem("E:"), 32);

  std::vector<std::uint8_t> ntfs(4096);
  std::memcpy(&ntfs[0], "\xEB\x52\x90NTFS    ", 11);
  EXPECT_EQ(Drive(ntfs).Vol.DetectFileSystem("E:"), 64);

  std::vector<std::uint8_t> blob(4096);
  for (std::size_t i = 0; i < blob.size(); ++i)
    blob[i] = static_cast<std::uint8_t>(i * 7 + 3);
  EXPECT_EQ(Drive(blob, "ext4").Vol.DetectFileSystem("E:"), 0);
}

TEST(DetectFileSystem, TheFallbackSetsTheDriveAndProbesTheSectorSize) {
  test::CraftedVolume fat32({.FatBits = 32, .SectorSize = 4096});
  Drive d(fat32.Bytes, "", 4096);
  EXPECT_EQ(d.Vol.DetectFileSystem("E:"), 32);
  EXPECT_EQ(d.Vol.Geometry().DrivePath, "E:");
  EXPECT_EQ(d.Vol.Geometry().BytesPerSector, 4096);
}

TEST(DetectFileSystem, NothingReadableIsUnknown) {
  Drive d(std::vector<std::uint8_t>(4096));
  d.Device->FailReads(0, 7);
  EXPECT_EQ(d.Vol.DetectFileSystem("E:"), 0);
  EXPECT_EQ(d.Vol.DetectFileSystem(""), 0);
  EXPECT_EQ(d.Vol.DetectFileSystem("Q:"), 0); // no such drive
}

TEST(DetectFileSystem, OnlyTheNamedFieldsAreExamined) {
  // "FAT32" in the boot code, outside the OEM name and type fields, is not a name.
  std::vector<std::uint8_t> sector(512);
  std::memcpy(&sector[100], "FAT32", 5);
  EXPECT_EQ(Drive(sector).Vol.DetectFileSystem("E:"), 0);
  // Control bytes are left out of the text, so they do not break a name.
  std::memcpy(&sector[82], "FA\x01T32", 6);
  EXPECT_EQ(Drive(sector).Vol.DetectFileSystem("E:"), 32);
}

// The FAT type is the structure's, whatever the system calls the volume:
// a 16-bit FAT length of 0 is FAT32, fewer than 4085 data clusters FAT12.
TEST(OpenVolume, TheFatTypeComesFromTheBootSectorsStructure) {
  test::CraftedVolume fat16({.FatBits = 16});
  test::CraftedVolume fat32({.FatBits = 32});
  for (const std::string name : {"FAT", "FAT32", ""}) {
    Drive d16(fat16.Bytes, name), d32(fat32.Bytes, name);
    ASSERT_EQ(OpenVolume(d16.Vol, "E:", true), VolumeCheck::Ok) << name;
    EXPECT_EQ(d16.Vol.Geometry().FatType, 16) << name;
    ASSERT_EQ(OpenVolume(d32.Vol, "E:", true), VolumeCheck::Ok) << name;
    EXPECT_EQ(d32.Vol.Geometry().FatType, 32) << name;
  }
  // One cluster fewer than the least FAT16 holds: FAT12, refused before the
  // FAT is read. The 16-bit total counts, and the 32-bit one when it is 0.
  const auto total = fat16.Bytes.size() / 512;
  auto twelve = fat16;
  twelve.PutLe16(19, static_cast<std::uint16_t>(total - 1));
  Drive d(twelve.Bytes, "FAT");
  EXPECT_EQ(OpenVolume(d.Vol, "E:", true), VolumeCheck::NotFat);
  EXPECT_TRUE(d.Vol.FatImage().empty());
  twelve.PutLe16(19, 0);
  twelve.PutLe32(32, static_cast<std::uint32_t>(total - 1));
  Drive e(twelve.Bytes, "FAT");
  EXPECT_EQ(OpenVolume(e.Vol, "E:", true), VolumeCheck::NotFat);
}

TEST(OpenVolume, ADriveTheUserMayNotOpenIsNeitherMissingNorForeign) {
  test::CraftedVolume fat16({.FatBits = 16});
  Drive d(fat16.Bytes, "FAT");
  d.Device->DenyAccess();
  EXPECT_EQ(OpenVolume(d.Vol, "E:", true), VolumeCheck::AccessDenied);
  EXPECT_EQ(OpenVolume(d.Vol, "Q:", true), VolumeCheck::DriveNotFound);
}

TEST(OpenVolume, ExFatIsLeftToTheExfatReader) {
  std::vector<std::uint8_t> exfat(4096);
  std::memcpy(&exfat[0], "\xEB\x76\x90" "EXFAT   ", 11);
  exfat[510] = 0x55;
  exfat[511] = 0xAA;
  for (const std::string name : {"exfat", ""}) {
    Drive d(exfat, name);
    EXPECT_EQ(OpenVolume(d.Vol, "E:", false), VolumeCheck::Exfat) << name;
  }
}

} // namespace
} // namespace orvanta
