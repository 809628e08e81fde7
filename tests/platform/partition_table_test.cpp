// The boot-sector probe and the partition-table reader, on tables laid out
// byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/boot_sector_probe.h"
#include "platform/memory_device.h"
#include "platform/partition_table.h"
#include "support/crafted_volume.h"

namespace orvanta {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes &b, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutText(Bytes &b, std::size_t at, const char *text) { std::memcpy(&b[at], text, std::strlen(text)); }

// An MBR slot: type, first sector, sector count.
void Slot(Bytes &sector, int index, std::uint8_t type, std::uint32_t start, std::uint32_t count,
          std::size_t base = 0) {
  const std::size_t at = base + 446 + 16 * static_cast<std::size_t>(index);
  sector[at + 4] = type;
  Put(sector, at + 8, start, 4);
  Put(sector, at + 12, count, 4);
}

void Sign(Bytes &b, std::size_t sectorStart = 0) {
  b[sectorStart + 510] = 0x55;
  b[sectorStart + 511] = 0xAA;
}

TEST(BootSectorProbe, NamesWhatTheFirstSectorSays) {
  const Bytes fat16 = test::CraftedVolume({.FatBits = 16, .Clusters = 5000}).Bytes;
  const Bytes fat12 = test::CraftedVolume({.FatBits = 16, .Clusters = 100}).Bytes;
  const Bytes fat32 = test::CraftedVolume({.FatBits = 32, .Clusters = 70000}).Bytes;
  Bytes exfat(512), ntfs(512), mbr(512), noMedia = fat16;
  PutText(exfat, 3, "EXFAT   ");
  exfat[108] = 12; // 4096-byte sectors
  Put(exfat, 72, 1000, 8);
  PutText(ntfs, 3, "NTFS    ");
  Slot(mbr, 0, 0x0C, 2048, 4096);
  Sign(mbr);
  noMedia[21] = 0x12;
  const struct {
    const char *Case;
    const Bytes &Sector;
    std::string Name;
    std::uint32_t SectorSize;
    std::optional<std::uint64_t> VolumeBytes;
  } cases[] = {
      {"fat16", fat16, "FAT", 512, fat16.size()},
      {"fat12_is_named_as_fat16_is", fat12, "FAT", 512, fat12.size()},
      {"fat32", fat32, "FAT32", 512, fat32.size()},
      {"exfat", exfat, "exfat", 4096, 1000 * 4096},
      {"ntfs", ntfs, "NTFS", 512, std::nullopt},
      {"mbr_is_no_volume", mbr, "", 512, std::nullopt},
      {"media_byte_no_fat_has", noMedia, "", 512, std::nullopt},
      {"too_short", Bytes(20, 0xEB), "", 512, std::nullopt},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Case);
    const std::span<const std::uint8_t> first(c.Sector.data(), std::min<std::size_t>(c.Sector.size(), 512));
    EXPECT_EQ(FileSystemNameOf(first), c.Name);
    EXPECT_EQ(StatedSectorSize(first), c.SectorSize);
    EXPECT_EQ(StatedVolumeBytes(first), c.VolumeBytes);
  }
}

std::vector<PartitionEntry> Read(Bytes image, std::uint32_t sectorSize = 512) {
  MemoryDevice device(std::move(image), 512);
  return ReadPartitionTable(device, sectorSize);
}

TEST(PartitionTable, ReadsPrimaryAndLogicalMbrPartitions) {
  Bytes disk(64 * 512);
  Slot(disk, 0, 0x0E, 2, 8);
  Slot(disk, 1, 0x05, 20, 40); // extended, holding two logical partitions
  Sign(disk);
  Slot(disk, 0, 0x0E, 1, 5, 20 * 512);  // at 21
  Slot(disk, 1, 0x05, 10, 20, 20 * 512); // next record at 30
  Sign(disk, 20 * 512);
  Slot(disk, 0, 0x0B, 2, 6, 30 * 512); // at 32
  Sign(disk, 30 * 512);
  EXPECT_EQ(Read(disk), (std::vector<PartitionEntry>{
                            {1, 2 * 512, 8 * 512}, {2, 20 * 512, 40 * 512},
                            {5, 21 * 512, 5 * 512}, {6, 32 * 512, 6 * 512}}));
}

TEST(PartitionTable, AnExtendedChainThatLoopsEnds) {
  Bytes disk(32 * 512);
  Slot(disk, 0, 0x0F, 8, 16);
  Sign(disk);
  Slot(disk, 0, 0x0E, 1, 2, 8 * 512);
  Slot(disk, 1, 0x05, 8, 4, 8 * 512); // the next record at 8 + 8 = 16
  Sign(disk, 8 * 512);
  Slot(disk, 0, 0x0E, 1, 2, 16 * 512);
  Slot(disk, 1, 0x05, 8, 4, 16 * 512); // the next record: 16 itself again
  Sign(disk, 16 * 512);
  const auto found = Read(disk);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[2], (PartitionEntry{6, 17 * 512, 2 * 512}));
}

TEST(PartitionTable, AVolumeOnTheWholeDeviceIsNoTable) {
  EXPECT_TRUE(Read(test::CraftedVolume({.FatBits = 16, .Clusters = 5000}).Bytes).empty());
  Bytes unsigned_(4096);
  Slot(unsigned_, 0, 0x0E, 2, 4);
  EXPECT_TRUE(Read(unsigned_).empty());
  Bytes badStatus = unsigned_;
  Sign(badStatus);
  badStatus[446] = 0x12;
  EXPECT_TRUE(Read(badStatus).empty());
}

// A GPT behind its protective MBR: header in the second table sector,
// entries from the third; an unused entry keeps its number.
Bytes Gpt(std::uint32_t s, std::uint32_t entryCount = 4) {
  Bytes disk(40 * s);
  Slot(disk, 0, 0xEE, 1, 39);
  Sign(disk);
  PutText(disk, s, "EFI PART");
  Put(disk, s + 72, 2, 8);
  Put(disk, s + 80, entryCount, 4);
  Put(disk, s + 84, 128, 4);
  auto entry = [&](int index, std::uint64_t first, std::uint64_t last) {
    const std::size_t at = 2 * s + 128 * static_cast<std::size_t>(index);
    disk[at] = 0xA2; // any type GUID that is not zero
    Put(disk, at + 32, first, 8);
    Put(disk, at + 40, last, 8);
  };
  entry(0, 10, 19);
  entry(2, 20, 39);
  return disk;
}

TEST(PartitionTable, ReadsAGptWithTheSectorSizeItWasMadeWith) {
  EXPECT_EQ(Read(Gpt(512)), (std::vector<PartitionEntry>{{1, 10 * 512, 10 * 512},
                                                          {3, 20 * 512, 20 * 512}}));
  const Bytes big = Gpt(4096);
  EXPECT_TRUE(Read(big, 512).empty());
  MemoryDevice device(big, 512);
  EXPECT_TRUE(HasProtectiveMbr(device));
  EXPECT_EQ(Read(big, 4096), (std::vector<PartitionEntry>{{1, 10 * 4096, 10 * 4096},
                                                           {3, 20 * 4096, 20 * 4096}}));
  EXPECT_TRUE(Read(Gpt(512, 100000)).empty()); // an entry count no disk has
}

} // namespace
} // namespace orvanta
