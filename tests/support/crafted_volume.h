#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::test {

using DirEntry = std::array<std::uint8_t, 32>;

struct CraftOptions {
  int FatBits = 16;
  std::uint32_t SectorSize = 512;
  std::uint8_t SectorsPerCluster = 1;
  std::uint32_t Clusters = 128;      // data clusters, from cluster 2; FAT16: at least 4085
  std::uint16_t ReservedSectors = 1; // FAT32 volumes usually have 32
  std::uint16_t RootEntries = 64;    // FAT16 only
};

// A small FAT16 or FAT32 volume laid out byte by byte in memory: boot
// sector, one FAT, the FAT16 root region and the data area. For cases that
// need exact bytes: crafted chains, damaged entries, hostile links.
class CraftedVolume {
public:
  static constexpr std::uint32_t kMinFat16Clusters = 4085;

  explicit CraftedVolume(const CraftOptions &options);

  std::vector<std::uint8_t> Bytes;

  std::uint32_t SectorsPerFat() const { return sectorsPerFat_; }
  std::uint32_t RootStartSector() const;
  std::uint32_t RootSectors() const;
  std::uint32_t ClusterBytes() const { return options_.SectorSize * options_.SectorsPerCluster; }
  std::size_t ClusterOffset(std::uint32_t cluster) const;
  // Byte offset of the root directory: the FAT16 region, or cluster 2.
  std::size_t RootOffset() const;

  void SetFat(std::uint32_t n, std::uint32_t value);
  std::uint32_t Fat(std::uint32_t n) const;
  // Links clusters into a chain ending with an end-of-chain mark.
  void Chain(const std::vector<std::uint32_t> &clusters);

  // Puts entries one after another at a byte offset.
  void PutEntries(std::size_t offset, const std::vector<DirEntry> &entries);
  void PutBytes(std::size_t offset, const std::vector<std::uint8_t> &bytes);

  void PutLe16(std::size_t offset, std::uint16_t v);
  void PutLe32(std::size_t offset, std::uint32_t v);

private:
  CraftOptions options_;
  std::uint32_t sectorsPerFat_ = 0;
};

// FAT date and time words.
std::uint16_t FatDate(int year, int month, int day);
std::uint16_t FatTime(int hour, int minute, int second = 0);

// A short entry: `name` is the 11 raw bytes of name and extension (padded
// with blanks when shorter).
DirEntry ShortEntry(const std::string &name11, std::uint8_t attributes, std::uint32_t cluster,
                    std::uint32_t size, std::uint16_t date = 0x4EA7 /* 2019/05/07 */,
                    std::uint16_t time = 0x48A0 /* 09:05 */);
// The long-name pieces for `name` (UTF-16 code units), last piece first as
// they lie on disk, ready to put before their short entry.
std::vector<DirEntry> LongEntries(const std::u16string &name, std::uint8_t checksum = 0);
// Marks an entry deleted.
DirEntry Deleted(DirEntry entry);
std::vector<DirEntry> Deleted(std::vector<DirEntry> entries);
// The "." and ".." pair of a directory.
std::vector<DirEntry> DotPair(std::uint32_t self, std::uint32_t parent);

} // namespace orvanta::test
