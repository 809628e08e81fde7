#include "volume/write_fence.h"

#include <algorithm>

namespace orvanta {

bool InsideWriteFence(const TVolumeGeometry &g, std::uint64_t sector, std::uint64_t bytes) {
  if (g.BytesPerSector <= 0 || g.TotalSectors <= 0 || g.RootStartSector < 0)
    return false;
  // The FATs' end from the fields themselves, in 64 bits: a wrapped
  // RootStartSector must not let a write into them.
  const std::uint64_t fatsEnd =
      std::uint64_t(static_cast<std::uint16_t>(g.ReservedSectors)) +
      std::uint64_t(static_cast<std::uint8_t>(g.FatCount)) *
          std::uint64_t(static_cast<std::uint32_t>(g.SectorsPerFat));
  const std::uint64_t first = std::max<std::uint64_t>(
      {fatsEnd, std::uint64_t(g.RootStartSector), 1});
  // One past the volume's last sector.
  const auto end = static_cast<std::uint64_t>(g.TotalSectors);
  const auto sectorBytes = std::uint64_t(g.BytesPerSector);
  const std::uint64_t count = bytes / sectorBytes + (bytes % sectorBytes != 0 ? 1 : 0);
  if (sector < first || sector >= end || count > end - sector)
    return false;
  for (const auto &[shieldFirst, shieldCount] : g.ShieldedSectors)
    if (sector < shieldFirst + shieldCount && shieldFirst < sector + count)
      return false;
  return true;
}

} // namespace orvanta
