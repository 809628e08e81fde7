#pragma once

#include <cstdint>
#include <span>

#include "platform/sector_size.h"

namespace orvanta {

// The fields of a FAT boot sector that decide how the volume is read, as
// the volume itself states them.
struct BootSectorFields {
  std::uint16_t BytesPerSector = 0;   // 11
  std::uint8_t SectorsPerCluster = 0; // 13
  std::uint16_t ReservedSectors = 0;  // 14
  std::uint8_t FatCount = 0;          // 16
  std::uint16_t RootEntryCount = 0;   // 17
  std::uint16_t TotalSectors16 = 0;   // 19
  std::uint16_t SectorsPerFat16 = 0;  // 22
  std::uint32_t TotalSectors32 = 0;   // 32
  std::uint32_t SectorsPerFat32 = 0;  // 36
  std::uint32_t RootCluster = 0;      // 44, FAT32 only
};

BootSectorFields ParseBootSector(std::span<const std::uint8_t> bytes);

// The volume's own count of its sectors: the 16-bit field when it is set,
// else the 32-bit one; 0 when neither is.
std::uint32_t StatedTotalSectors(const BootSectorFields &boot);

// FAT12, FAT16 or FAT32 as the structure decides it: a 16-bit FAT length of
// 0 is FAT32; otherwise fewer than 4085 data clusters is FAT12, else FAT16.
// 0 when the boot sector gives no way to count clusters.
int FatTypeOf(const BootSectorFields &boot);

} // namespace orvanta
