#include "volume/file_clusters.h"

#include <cstdlib>
#include <unordered_set>

#include "volume/fat_entries.h"

namespace orvanta {

std::int64_t LastDataCluster(const TVolumeGeometry &g) {
  if (g.SectorsPerCluster <= 0)
    return 1;
  std::int64_t dataStart = g.RootStartSector;
  if (g.FatType == kFat16)
    dataStart += g.RootSectors;
  const std::int64_t sectors = std::int64_t{g.TotalSectors} - dataStart;
  return sectors <= 0 ? 1 : 1 + sectors / g.SectorsPerCluster;
}

bool ClusterInUse(const Volume &vol, std::int64_t cluster) {
  if (cluster < 2)
    return true;
  if (cluster > LastDataCluster(vol.Geometry()))
    return false;
  const auto entry = vol.FatEntry(static_cast<std::uint64_t>(cluster));
  if (!entry)
    return false;
  return !IsFreeEntry(*entry, vol.Geometry().FatType);
}

bool ChainFitsSize(const std::vector<std::uint32_t> &chain, std::int64_t size,
                   std::int64_t clusterBytes) {
  for (const auto c : chain)
    if (c == 0)
      return false;
  return chain.size() > 1 &&
         std::llabs(std::int64_t(chain.size()) * clusterBytes - size) <= clusterBytes;
}

std::vector<std::uint32_t> PeekChain(const Volume &vol, std::int32_t first, std::size_t limit) {
  const auto &g = vol.Geometry();
  std::vector<std::uint32_t> chain;
  if (first < 0 || first > g.ClusterCount || !vol.FatEntry(std::uint64_t(first)))
    return chain;
  auto isEnd = [&g](std::uint32_t next) {
    return next == 0 || IsAllOnesEndOfChain(next, g.FatType);
  };
  const std::size_t walkLimit = g.ClusterCount > 0 ? std::size_t(g.ClusterCount) : 1;
  std::unordered_set<std::uint32_t> listed;
  std::uint32_t current = static_cast<std::uint32_t>(first);
  chain.push_back(current);
  listed.insert(current);
  while (chain.size() < limit) {
    const auto next = vol.FatEntry(current);
    if (!next || isEnd(*next) || listed.count(*next) || chain.size() >= walkLimit)
      break;
    chain.push_back(*next);
    listed.insert(*next);
    current = *next;
  }
  return chain;
}

FreeRun FreeClusterRun(const Volume &vol, std::int64_t size, std::int32_t first,
                       bool listClusters) {
  FreeRun run;
  const std::int64_t clusterBytes = vol.Geometry().BytesPerCluster;
  if (size <= 0 || clusterBytes <= 0)
    return run;
  const std::int64_t needed = (size + clusterBytes - 1) / clusterBytes;
  const std::int64_t last = LastDataCluster(vol.Geometry());
  if (listClusters)
    run.Clusters.reserve(static_cast<std::size_t>(needed));
  std::int64_t taken = 0;
  for (std::int64_t c = first; taken < needed; ++c) {
    if (taken > 0 && ClusterInUse(vol, c)) {
      run.PassedUsed = true;
      continue;
    }
    if (c > last) {
      run.PastEnd = true;
      if (!listClusters)
        break; // nothing past the end is in use: the run only goes on
    }
    if (listClusters)
      run.Clusters.push_back(static_cast<std::uint32_t>(c));
    ++taken;
  }
  return run;
}

} // namespace orvanta
