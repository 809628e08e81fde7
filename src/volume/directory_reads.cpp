#include "volume/directory_reads.h"

#include <algorithm>
#include <unordered_set>

#include "volume/fat_entries.h"

namespace orvanta {

bool FirstClusterIsChained(const Volume &volume, std::uint32_t first) {
  return DirectoryChain(volume, first).size() > 1;
}

std::vector<std::uint32_t> DirectoryChain(const Volume &volume, std::uint32_t first) {
  const auto &g = volume.Geometry();
  std::vector<std::uint32_t> chain{first};
  if (g.BytesPerCluster <= 0 || first < 2 || first > std::uint32_t(std::max(g.ClusterCount, 0)))
    return chain;
  const std::size_t maxClusters =
      std::max<std::size_t>(1, kMaxDirectoryEntries * 32 / std::size_t(g.BytesPerCluster));
  std::unordered_set<std::uint32_t> seen{first};
  std::uint32_t current = first;
  while (chain.size() < maxClusters) {
    const auto entry = volume.FatEntry(current);
    if (!entry || *entry == 0 || IsEndOfChain(*entry, g.FatType) || IsBadCluster(*entry, g.FatType))
      break;
    const std::uint32_t next = FatEntryValue(*entry, g.FatType);
    if (next < 2 || next > std::uint32_t(g.ClusterCount) || !seen.insert(next).second)
      break;
    chain.push_back(next);
    current = next;
  }
  return chain;
}

bool ReadClusters(Volume &volume, const std::vector<std::uint32_t> &clusters,
                  std::vector<std::uint8_t> &out) {
  const auto &g = volume.Geometry();
  out.clear();
  if (g.BytesPerCluster <= 0)
    return false;
  const auto clusterBytes = static_cast<std::size_t>(g.BytesPerCluster);
  out.resize(clusters.size() * clusterBytes);
  std::size_t i = 0;
  while (i < clusters.size()) {
    std::size_t run = 1;
    while (i + run < clusters.size() && clusters[i + run] == clusters[i] + run)
      ++run;
    const std::span<std::uint8_t> part(out.data() + i * clusterBytes, run * clusterBytes);
    if (!volume.ReadSectors(volume.ClusterSector(static_cast<std::int32_t>(clusters[i])), part)) {
      out.resize(i * clusterBytes);
      return i > 0;
    }
    i += run;
  }
  return true;
}

bool ReadDirectory(Volume &volume, std::uint32_t first, std::size_t lengthIfFree,
                   std::vector<std::uint8_t> &out) {
  const auto chain = DirectoryChain(volume, first);
  const auto entry = volume.FatEntry(first);
  if (chain.size() > 1 || (entry && *entry != 0 && first >= 2 &&
                           first <= std::uint32_t(std::max(volume.Geometry().ClusterCount, 0))))
    return ReadClusters(volume, chain, out);
  out.assign(lengthIfFree, 0);
  return volume.ReadSectors(volume.ClusterSector(static_cast<std::int32_t>(first)), out);
}

bool ReadRootDirectory(Volume &volume, std::vector<std::uint8_t> &out) {
  const auto &g = volume.Geometry();
  if (g.FatType == kFat32)
    return ReadClusters(volume, DirectoryChain(volume, g.RootCluster), out);
  if (g.RootSectors <= 0 || g.BytesPerSector <= 0)
    return false;
  out.assign(std::size_t(g.RootSectors) * std::size_t(g.BytesPerSector), 0);
  return volume.ReadSectors(static_cast<std::uint32_t>(g.RootStartSector), out);
}

} // namespace orvanta
