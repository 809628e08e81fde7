#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

// File-system codes of DetectFileSystem and FAT types.
// kFat12 is a FAT type read from the structure, never a detection result.
enum FileSystemCode : int {
  kUnknownFileSystem = 0,
  kFat12 = 12,
  kFat16 = 16,
  kFat32 = 32,
  kNtfs = 64
};

// Offsets of the boot-sector fields that are read.
namespace boot_sector {
inline constexpr std::size_t kOemName = 3;            // 8 bytes
inline constexpr std::size_t kBytesPerSector = 11;    // 2
inline constexpr std::size_t kSectorsPerCluster = 13; // 1
inline constexpr std::size_t kReservedSectors = 14;   // 2
inline constexpr std::size_t kFatCount = 16;          // 1
inline constexpr std::size_t kRootEntryCount = 17;    // 2
inline constexpr std::size_t kTotalSectors16 = 19;    // 2
inline constexpr std::size_t kSectorsPerFat16 = 22;   // 2
inline constexpr std::size_t kTotalSectors32 = 32;    // 4
inline constexpr std::size_t kSectorsPerFat32 = 36;   // 4
inline constexpr std::size_t kRootCluster = 44;       // 4, FAT32 only
inline constexpr std::size_t kFat16TypeText = 54;     // 8
inline constexpr std::size_t kFat32TypeText = 82;     // 8
} // namespace boot_sector

// The largest cluster a boot sector's own cluster-size byte can give is 255
// sectors of 4096 bytes, just under 1 MiB; only the stand-in for a zero byte
// (the reserved-sector count) goes beyond it. Work that holds clusters in
// memory refuses larger ones rather than take gigabytes for a damaged field.
inline constexpr std::int64_t kMaxClusterBytes = std::int64_t{1} << 20;

// The selected volume's layout, read from its boot sector. The numbers are
// signed 32-bit, as the rest of the engine uses them; arithmetic on values
// from a damaged boot sector wraps rather than failing.
struct TVolumeGeometry {
  std::string DrivePath;             // "E:"
  std::int32_t BytesPerSector = 0;   // probed; the boot sector's field must agree
  std::int32_t BytesPerCluster = 0;  // SectorsPerCluster * BytesPerSector
  std::int32_t SectorsPerCluster = 0;
  std::int32_t TotalSectors = 0;
  std::int32_t ClusterCount = 0;     // TotalSectors div SectorsPerCluster, metadata included
  std::uint8_t FatType = 0;          // 16 or 32
  std::int32_t ReservedSectors = 0;  // also the first sector of the first FAT
  std::int32_t FatCount = 0;
  std::int32_t SectorsPerFat = 0;
  std::int32_t RootStartSector = 0;  // first sector after the FATs
  std::int32_t RootSectors = 0;      // FAT16 root region; one cluster on FAT32
  // First cluster of the FAT32 root directory (the boot sector's field, 2
  // when the field names no data cluster at all); 0 on FAT16.
  std::uint32_t RootCluster = 0;
  std::int32_t FatBytes = 0;         // SectorsPerFat * BytesPerSector

  // Clusters of a size that can be held in memory (above 0, at most kMaxClusterBytes).
  bool ClustersFitInMemory() const {
    return SectorsPerCluster > 0 && BytesPerSector > 0 && BytesPerCluster > 0 &&
           BytesPerCluster <= kMaxClusterBytes;
  }
};

} // namespace orvanta
