#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvanta {

// File-system codes of DetectFileSystem and FAT types.
// kFat12 is a FAT type read from the structure, never a detection result.
// kExfat (the partition type of exFAT) is opened by the exFAT reader.
enum FileSystemCode : int {
  kUnknownFileSystem = 0,
  kExfat = 7,
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
inline constexpr std::size_t kBackupBootSector = 50;  // 2, FAT32 only
inline constexpr std::size_t kFat16TypeText = 54;     // 8
inline constexpr std::size_t kFat32TypeText = 82;     // 8
} // namespace boot_sector

// Where formatters put the copy of a FAT32 boot sector.
inline constexpr std::uint64_t kUsualBootSectorCopy = 6;

// The largest cluster a boot sector's own cluster-size byte can give is 255
// sectors of 4096 bytes, just under 1 MiB; only the stand-in for a zero byte
// (the reserved-sector count) goes beyond it. Work that holds clusters in
// memory refuses larger ones rather than take gigabytes for a damaged field.
inline constexpr std::int64_t kMaxClusterBytes = std::int64_t{1} << 20;

// The selected volume's layout, read from its boot sector. Sector, byte and
// cluster counts are 64-bit: a FAT32 volume of more than 1 TiB has more
// sectors than a signed 32-bit number holds, and products of values from a
// damaged boot sector must not wrap.
struct TVolumeGeometry {
  std::string DrivePath;             // "E:"
  std::int32_t BytesPerSector = 0;   // probed; the boot sector's field must agree
  std::int32_t BytesPerCluster = 0;  // SectorsPerCluster * BytesPerSector
  std::int32_t SectorsPerCluster = 0;
  std::int64_t TotalSectors = 0;
  std::int64_t ClusterCount = 0;     // TotalSectors div SectorsPerCluster, metadata included
  std::uint8_t FatType = 0;          // 16 or 32
  std::int64_t ReservedSectors = 0;  // also the first sector of the first FAT
  std::int64_t FatCount = 0;
  std::int64_t SectorsPerFat = 0;
  std::int64_t RootStartSector = 0;  // first sector after the FATs
  std::int64_t RootSectors = 0;      // FAT16 root region; one cluster on FAT32
  // First cluster of the FAT32 root directory (the boot sector's field, 2
  // when the field names no data cluster at all); 0 on FAT16.
  std::uint32_t RootCluster = 0;
  std::int64_t FatBytes = 0;         // SectorsPerFat * BytesPerSector
  // The sector the boot sector was read from: 0, or that of its FAT32 copy
  // when sector 0 was wiped or overwritten.
  std::uint64_t BootSectorCopy = 0;
  // Sectors the device really holds; 0 when unknown. An image cut short
  // holds fewer than TotalSectors.
  std::int64_t DeviceSectors = 0;
  // exFAT only: the clusters of the heap (numbered 2 on), and the sectors
  // (first, count) of the structures inside it that nothing may write.
  std::uint32_t HeapClusters = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ShieldedSectors;

  // Clusters of a size that can be held in memory (above 0, at most kMaxClusterBytes).
  // Whether the `count` sectors from `first` all lie on the device (always
  // when its size is unknown).
  bool SectorsOnDevice(std::int64_t first, std::int64_t count) const {
    return DeviceSectors <= 0 || (first >= 0 && count <= DeviceSectors - first);
  }

  bool ClustersFitInMemory() const {
    return SectorsPerCluster > 0 && BytesPerSector > 0 && BytesPerCluster > 0 &&
           BytesPerCluster <= kMaxClusterBytes;
  }
};

} // namespace orvanta
