#include "exfat/boot_region.h"

#include <algorithm>
#include <cstring>

#include "exfat/exfat_format.h"
#include "volume/byte_reader.h"

namespace orvanta::exfat {

bool NamesExfat(std::span<const std::uint8_t> bootSector) {
  static constexpr char kName[] = "EXFAT   ";
  return bootSector.size() >= boot::kFileSystemName + 8 &&
         std::memcmp(bootSector.data() + boot::kFileSystemName, kName, 8) == 0;
}

std::optional<BootGeometry> ParseBootSector(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 512 || !NamesExfat(bytes))
    return std::nullopt;
  const ByteReader r(bytes);
  if (r.Le16(boot::kBootSignature) != 0xAA55)
    return std::nullopt;
  const auto zeros = bytes.subspan(boot::kMustBeZero, boot::kMustBeZeroLength);
  if (std::any_of(zeros.begin(), zeros.end(), [](std::uint8_t b) { return b != 0; }))
    return std::nullopt;
  BootGeometry g;
  g.BytesPerSectorShift = r.U8(boot::kBytesPerSectorShift);
  g.SectorsPerClusterShift = r.U8(boot::kSectorsPerClusterShift);
  if (g.BytesPerSectorShift < 9 || g.BytesPerSectorShift > 12 ||
      g.BytesPerSectorShift + g.SectorsPerClusterShift > 25)
    return std::nullopt;
  g.VolumeLength = std::uint64_t{r.Le32(boot::kVolumeLength)} |
                   std::uint64_t{r.Le32(boot::kVolumeLength + 4)} << 32;
  g.FatOffset = r.Le32(boot::kFatOffset);
  g.FatLength = r.Le32(boot::kFatLength);
  g.NumberOfFats = r.U8(boot::kNumberOfFats);
  g.ActiveFat = g.NumberOfFats == 2 ? (r.Le16(boot::kVolumeFlags) & 1u) : 0;
  g.ClusterHeapOffset = r.Le32(boot::kClusterHeapOffset);
  g.ClusterCount = r.Le32(boot::kClusterCount);
  g.RootCluster = r.Le32(boot::kRootCluster);
  if (g.NumberOfFats < 1 || g.NumberOfFats > 2 || g.FatLength == 0 ||
      g.FatOffset < 2 * boot::kRegionSectors || g.ClusterCount == 0 ||
      g.ClusterCount > 0xFFFFFFF5u - 1)
    return std::nullopt;
  const std::uint64_t fatsEnd = std::uint64_t{g.FatOffset} + std::uint64_t{g.FatLength} * g.NumberOfFats;
  const std::uint64_t heapEnd =
      g.ClusterHeapOffset + std::uint64_t{g.ClusterCount} * g.SectorsPerCluster();
  // A FAT must hold an entry for every cluster.
  const std::uint64_t fatBytes = std::uint64_t{g.FatLength} << g.BytesPerSectorShift;
  if (g.ClusterHeapOffset < fatsEnd || heapEnd > g.VolumeLength ||
      fatBytes < (std::uint64_t{g.ClusterCount} + 2) * 4 || !g.IsHeapCluster(g.RootCluster))
    return std::nullopt;
  return g;
}

std::uint32_t BootChecksum(std::span<const std::uint8_t> sectors, std::size_t bytesPerSector) {
  std::uint32_t sum = 0;
  const std::size_t length = std::min(sectors.size(), bytesPerSector * 11);
  for (std::size_t i = 0; i < length; ++i) {
    if (i == boot::kVolumeFlags || i == boot::kVolumeFlags + 1 || i == boot::kPercentInUse)
      continue;
    sum = ((sum & 1u) ? 0x80000000u : 0u) + (sum >> 1) + sectors[i];
  }
  return sum;
}

bool BootRegionSound(std::span<const std::uint8_t> region, std::size_t bytesPerSector) {
  if (bytesPerSector < 512 || region.size() < bytesPerSector * boot::kRegionSectors)
    return false;
  const auto geometry = ParseBootSector(region.first(bytesPerSector));
  if (!geometry || geometry->BytesPerSector() != bytesPerSector)
    return false;
  const std::uint32_t sum = BootChecksum(region, bytesPerSector);
  const ByteReader checksums(region.subspan(bytesPerSector * boot::kChecksumSector, bytesPerSector));
  for (std::size_t at = 0; at < bytesPerSector; at += 4)
    if (checksums.Le32(at) != sum)
      return false;
  return true;
}

std::optional<BootGeometry> ReadBootRegions(std::span<const std::uint8_t> bytes,
                                            std::size_t bytesPerSector) {
  const std::size_t regionBytes = bytesPerSector * boot::kRegionSectors;
  for (std::size_t start : {std::size_t{0}, regionBytes})
    if (bytes.size() >= start + regionBytes &&
        BootRegionSound(bytes.subspan(start, regionBytes), bytesPerSector))
      return ParseBootSector(bytes.subspan(start, bytesPerSector));
  return std::nullopt;
}

} // namespace orvanta::exfat
