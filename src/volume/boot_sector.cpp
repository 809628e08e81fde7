#include "volume/boot_sector.h"

#include "volume/byte_reader.h"
#include "volume/volume_geometry.h"

namespace orvanta {

BootSectorFields ParseBootSector(std::span<const std::uint8_t> bytes) {
  const ByteReader boot(bytes);
  BootSectorFields f;
  f.BytesPerSector = boot.Le16(boot_sector::kBytesPerSector);
  f.SectorsPerCluster = boot.U8(boot_sector::kSectorsPerCluster);
  f.ReservedSectors = boot.Le16(boot_sector::kReservedSectors);
  f.FatCount = boot.U8(boot_sector::kFatCount);
  f.RootEntryCount = boot.Le16(boot_sector::kRootEntryCount);
  f.TotalSectors16 = boot.Le16(boot_sector::kTotalSectors16);
  f.SectorsPerFat16 = boot.Le16(boot_sector::kSectorsPerFat16);
  f.TotalSectors32 = boot.Le32(boot_sector::kTotalSectors32);
  f.SectorsPerFat32 = boot.Le32(boot_sector::kSectorsPerFat32);
  f.RootCluster = boot.Le32(boot_sector::kRootCluster);
  return f;
}

std::uint32_t StatedTotalSectors(const BootSectorFields &boot) {
  return boot.TotalSectors16 != 0 ? boot.TotalSectors16 : boot.TotalSectors32;
}

int FatTypeOf(const BootSectorFields &boot) {
  constexpr std::uint64_t kMinFat16Clusters = 4085;
  if (boot.SectorsPerFat16 == 0)
    return kFat32;
  // A cluster-size byte of 0 stands for twice the reserved count, as the
  // geometry takes it.
  const std::uint64_t perCluster = boot.SectorsPerCluster != 0
                                       ? boot.SectorsPerCluster
                                       : std::uint64_t{boot.ReservedSectors} * 2;
  if (perCluster == 0 || !IsFatSectorSize(boot.BytesPerSector))
    return 0;
  const std::uint64_t rootSectors =
      (std::uint64_t{boot.RootEntryCount} * 32 + boot.BytesPerSector - 1) / boot.BytesPerSector;
  const std::uint64_t metadata = std::uint64_t{boot.ReservedSectors} +
                                 std::uint64_t{boot.FatCount} * boot.SectorsPerFat16 + rootSectors;
  std::uint64_t total = StatedTotalSectors(boot);
  if (total == 0) // no count at all: the estimate from the FAT's length
    total = std::uint64_t{boot.SectorsPerFat16} * boot.BytesPerSector * 4;
  const std::uint64_t clusters = total > metadata ? (total - metadata) / perCluster : 0;
  return clusters < kMinFat16Clusters ? kFat12 : kFat16;
}

} // namespace orvanta
