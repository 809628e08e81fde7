#include "support/crafted_volume.h"

#include <algorithm>
#include <cstring>

namespace orvanta::test {

CraftedVolume::CraftedVolume(const CraftOptions &options) : options_(options) {
  // Fewer clusters than this make a FAT12 volume, whatever the FAT's width.
  if (options_.FatBits == 16)
    options_.Clusters = std::max<std::uint32_t>(options_.Clusters, kMinFat16Clusters);
  const CraftOptions &o = options_;
  const std::uint32_t entrySize = o.FatBits == 16 ? 2 : 4;
  const std::uint32_t fatBytes = (o.Clusters + 2) * entrySize;
  sectorsPerFat_ = (fatBytes + o.SectorSize - 1) / o.SectorSize;
  const std::uint32_t total =
      RootStartSector() + (o.FatBits == 16 ? RootSectors() : 0) + o.Clusters * o.SectorsPerCluster;
  Bytes.assign(std::size_t{total} * o.SectorSize, 0);

  // Boot sector: jump, OEM name, BIOS parameter block.
  Bytes[0] = 0xEB;
  Bytes[1] = 0x3C;
  Bytes[2] = 0x90;
  std::memcpy(&Bytes[3], "MSWIN4.1", 8);
  PutLe16(11, static_cast<std::uint16_t>(o.SectorSize));
  Bytes[13] = o.SectorsPerCluster;
  PutLe16(14, o.ReservedSectors);
  Bytes[16] = 1;
  PutLe16(17, o.FatBits == 16 ? o.RootEntries : 0);
  Bytes[21] = 0xF8;
  PutLe32(32, total);
  if (o.FatBits == 16) {
    PutLe16(22, static_cast<std::uint16_t>(sectorsPerFat_));
    Bytes[38] = 0x29;
    std::memcpy(&Bytes[43], "NO NAME    ", 11);
    std::memcpy(&Bytes[54], "FAT16   ", 8);
  } else {
    PutLe32(36, sectorsPerFat_);
    PutLe32(44, 2);
    Bytes[66] = 0x29;
    std::memcpy(&Bytes[71], "NO NAME    ", 11);
    std::memcpy(&Bytes[82], "FAT32   ", 8);
  }
  Bytes[510] = 0x55;
  Bytes[511] = 0xAA;

  SetFat(0, o.FatBits == 16 ? 0xFFF8 : 0x0FFFFFF8);
  SetFat(1, o.FatBits == 16 ? 0xFFFF : 0x0FFFFFFF);
  if (o.FatBits == 32)
    SetFat(2, 0x0FFFFFFF); // the root directory
}

std::uint32_t CraftedVolume::RootStartSector() const {
  return options_.ReservedSectors + sectorsPerFat_;
}

std::uint32_t CraftedVolume::RootSectors() const {
  if (options_.FatBits != 16)
    return options_.SectorsPerCluster;
  return options_.RootEntries * 32u / options_.SectorSize;
}

std::size_t CraftedVolume::ClusterOffset(std::uint32_t cluster) const {
  std::size_t sector = RootStartSector() + std::size_t(cluster - 2) * options_.SectorsPerCluster;
  if (options_.FatBits == 16)
    sector += RootSectors();
  return sector * options_.SectorSize;
}

std::size_t CraftedVolume::RootOffset() const {
  return std::size_t{RootStartSector()} * options_.SectorSize;
}

void CraftedVolume::SetFat(std::uint32_t n, std::uint32_t value) {
  const std::size_t base = std::size_t{options_.ReservedSectors} * options_.SectorSize;
  if (options_.FatBits == 16)
    PutLe16(base + n * 2, static_cast<std::uint16_t>(value));
  else
    PutLe32(base + n * 4, value);
}

std::uint32_t CraftedVolume::Fat(std::uint32_t n) const {
  const std::size_t base = std::size_t{options_.ReservedSectors} * options_.SectorSize;
  if (options_.FatBits == 16)
    return Bytes[base + n * 2] | Bytes[base + n * 2 + 1] << 8;
  const std::size_t at = base + n * 4;
  return std::uint32_t(Bytes[at]) | std::uint32_t(Bytes[at + 1]) << 8 |
         std::uint32_t(Bytes[at + 2]) << 16 | std::uint32_t(Bytes[at + 3]) << 24;
}

void CraftedVolume::Chain(const std::vector<std::uint32_t> &clusters) {
  for (std::size_t i = 0; i < clusters.size(); ++i)
    SetFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1]
                                                : (options_.FatBits == 16 ? 0xFFFF : 0x0FFFFFFF));
}

void CraftedVolume::PutEntries(std::size_t offset, const std::vector<DirEntry> &entries) {
  for (const auto &e : entries) {
    std::copy(e.begin(), e.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += 32;
  }
}

void CraftedVolume::PutBytes(std::size_t offset, const std::vector<std::uint8_t> &bytes) {
  std::copy(bytes.begin(), bytes.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void CraftedVolume::PutLe16(std::size_t offset, std::uint16_t v) {
  Bytes[offset] = static_cast<std::uint8_t>(v);
  Bytes[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

void CraftedVolume::PutLe32(std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    Bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t FatDate(int year, int month, int day) {
  return static_cast<std::uint16_t>((year - 1980) << 9 | month << 5 | day);
}

std::uint16_t FatTime(int hour, int minute, int second) {
  return static_cast<std::uint16_t>(hour << 11 | minute << 5 | second / 2);
}

DirEntry ShortEntry(const std::string &name11, std::uint8_t attributes, std::uint32_t cluster,
                    std::uint32_t size, std::uint16_t date, std::uint16_t time) {
  DirEntry e{};
  std::fill(e.begin(), e.begin() + 11, std::uint8_t{' '});
  std::copy_n(name11.begin(), std::min<std::size_t>(11, name11.size()), e.begin());
  e[11] = attributes;
  e[20] = static_cast<std::uint8_t>(cluster >> 16);
  e[21] = static_cast<std::uint8_t>(cluster >> 24);
  e[22] = static_cast<std::uint8_t>(time);
  e[23] = static_cast<std::uint8_t>(time >> 8);
  e[24] = static_cast<std::uint8_t>(date);
  e[25] = static_cast<std::uint8_t>(date >> 8);
  e[26] = static_cast<std::uint8_t>(cluster);
  e[27] = static_cast<std::uint8_t>(cluster >> 8);
  for (int i = 0; i < 4; ++i)
    e[28 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
  return e;
}

std::vector<DirEntry> LongEntries(const std::u16string &name, std::uint8_t checksum) {
  // 13 characters a piece: the name, a 0 terminator when it fits, then 0xFFFF.
  std::vector<char16_t> chars(name.begin(), name.end());
  const std::size_t pieces = (chars.size() + 12) / 13;
  if (chars.size() % 13 != 0)
    chars.push_back(0);
  chars.resize(pieces * 13, 0xFFFF);
  static constexpr std::size_t kSlots[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::vector<DirEntry> out;
  for (std::size_t p = pieces; p-- > 0;) {
    DirEntry e{};
    e[0] = static_cast<std::uint8_t>((p + 1) | (p + 1 == pieces ? 0x40 : 0));
    e[11] = 0x0F;
    e[13] = checksum;
    for (std::size_t i = 0; i < 13; ++i) {
      const char16_t c = chars[p * 13 + i];
      e[kSlots[i]] = static_cast<std::uint8_t>(c);
      e[kSlots[i] + 1] = static_cast<std::uint8_t>(c >> 8);
    }
    out.push_back(e);
  }
  return out;
}

DirEntry Deleted(DirEntry entry) {
  entry[0] = 0xE5;
  return entry;
}

std::vector<DirEntry> Deleted(std::vector<DirEntry> entries) {
  for (auto &e : entries)
    e[0] = 0xE5;
  return entries;
}

std::vector<DirEntry> DotPair(std::uint32_t self, std::uint32_t parent) {
  return {ShortEntry(".", 0x10, self, 0), ShortEntry("..", 0x10, parent, 0)};
}

} // namespace orvanta::test
