#include "volume/salvaging_read.h"

#include <algorithm>

#include "volume/volume.h"

namespace orvanta {

std::size_t ReadSalvaging(Volume &volume, std::uint64_t sector, std::span<std::uint8_t> bytes,
                          const std::function<bool()> &stop) {
  if (volume.ReadSectors(sector, bytes))
    return bytes.size();
  // A card pulled out is not asked for each of its sectors in turn.
  if (!volume.DeviceSizeBytes())
    return 0;
  const auto &g = volume.Geometry();
  if (g.BytesPerSector <= 0)
    return 0;
  const auto sectorBytes = static_cast<std::size_t>(g.BytesPerSector);
  const std::uint64_t sectors = bytes.size() / sectorBytes;
  if (sector > ~std::uint64_t{0} - sectors)
    return 0; // no such sectors: the buffer stays zero
  std::size_t firstFailed = bytes.size();
  for (std::uint64_t k = 0; k < sectors; ++k) {
    const std::size_t at = static_cast<std::size_t>(k) * sectorBytes;
    if ((g.DeviceSectors > 0 && sector + k >= std::uint64_t(g.DeviceSectors)) || (stop && stop()))
      return std::min(firstFailed, at);
    if (!volume.ReadSectors(sector + k, bytes.subspan(at, sectorBytes)))
      firstFailed = std::min(firstFailed, at);
  }
  return firstFailed;
}

} // namespace orvanta
