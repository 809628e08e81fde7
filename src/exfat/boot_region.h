#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace orvanta::exfat {

// The layout of an exFAT volume as its boot sector states it, in sectors
// and clusters of the volume.
struct BootGeometry {
  std::uint32_t BytesPerSectorShift = 9;
  std::uint32_t SectorsPerClusterShift = 0;
  std::uint64_t VolumeLength = 0;  // sectors
  std::uint32_t FatOffset = 0;     // sectors from the volume's start
  std::uint32_t FatLength = 0;     // sectors of one FAT
  std::uint32_t NumberOfFats = 1;
  std::uint32_t ActiveFat = 0;     // the FAT in use (VolumeFlags bit 0) when there are two
  std::uint32_t ClusterHeapOffset = 0; // sectors
  std::uint32_t ClusterCount = 0;  // clusters 2 .. ClusterCount + 1
  std::uint32_t RootCluster = 0;

  std::uint32_t BytesPerSector() const { return 1u << BytesPerSectorShift; }
  std::uint32_t SectorsPerCluster() const { return 1u << SectorsPerClusterShift; }
  std::uint64_t BytesPerCluster() const {
    return std::uint64_t{1} << (BytesPerSectorShift + SectorsPerClusterShift);
  }
  // The highest cluster number of the heap.
  std::uint32_t LastCluster() const { return ClusterCount + 1; }
  bool IsHeapCluster(std::uint64_t cluster) const {
    return cluster >= 2 && cluster <= LastCluster();
  }
  // The first sector of a heap cluster.
  std::uint64_t ClusterSector(std::uint32_t cluster) const {
    return ClusterHeapOffset + (std::uint64_t{cluster} - 2) * SectorsPerCluster();
  }
};

// Whether a boot sector names the exFAT file system ("EXFAT   " at byte 3).
bool NamesExfat(std::span<const std::uint8_t> bootSector);

// The geometry of an exFAT boot sector whose fields are consistent: the
// name, the signature, zeros where FAT keeps its fields, sectors of 512 to
// 4096 bytes, clusters of at most 32 MiB, one or two FATs after the boot
// regions, the heap after the FATs and inside the volume, and a root
// cluster in the heap. Nothing otherwise.
std::optional<BootGeometry> ParseBootSector(std::span<const std::uint8_t> bootSector);

// The checksum of a boot region's first eleven sectors (VolumeFlags and
// PercentInUse left out), which fills its twelfth sector.
std::uint32_t BootChecksum(std::span<const std::uint8_t> elevenSectors, std::size_t bytesPerSector);

// Whether a boot region (12 sectors of `bytesPerSector`) is sound: its boot
// sector parses and every word of its checksum sector holds the checksum.
bool BootRegionSound(std::span<const std::uint8_t> region, std::size_t bytesPerSector);

// The geometry of a volume from the bytes of its first 24 sectors: the
// main boot region when it is sound, else the backup region; nothing when
// neither is.
std::optional<BootGeometry> ReadBootRegions(std::span<const std::uint8_t> first24Sectors,
                                            std::size_t bytesPerSector);

} // namespace orvanta::exfat
