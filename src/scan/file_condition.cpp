#include "scan/file_condition.h"

#include <algorithm>
#include <array>
#include <vector>

#include "scan/live_clusters.h"
#include "volume/file_clusters.h"
#include "volume/volume.h"

namespace orvanta {
namespace {

constexpr std::array<std::string_view, 4> kNames = {"intact", "partly", "overwritten", "empty"};

} // namespace

std::string_view ConditionName(FileCondition condition) {
  return kNames[static_cast<std::size_t>(condition)];
}

std::optional<FileCondition> ConditionFromName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name)
      return static_cast<FileCondition>(i);
  return std::nullopt;
}

namespace {

// Sectors that hold `bytes` bytes.
std::int64_t SectorsFor(std::int64_t bytes, std::int64_t sectorBytes) {
  return (bytes + sectorBytes - 1) / sectorBytes;
}

// Whether the device holds every sector of the file's bytes in its chain
// (a dump cut short ends before the volume does).
bool ChainOnDevice(const Volume &vol, const std::vector<std::uint32_t> &chain, std::int64_t size) {
  const auto &g = vol.Geometry();
  std::int64_t left = size;
  for (const std::uint32_t c : chain) {
    if (left <= 0)
      break;
    const std::int64_t bytes = std::min<std::int64_t>(left, g.BytesPerCluster);
    if (!g.SectorsOnDevice(vol.ClusterToSector(c), SectorsFor(bytes, g.BytesPerSector)))
      return false;
    left -= bytes;
  }
  return true;
}

// The same for a run of `size` bytes from the first cluster.
bool RunOnDevice(const Volume &vol, std::int32_t first, std::int64_t size) {
  const auto &g = vol.Geometry();
  return g.SectorsOnDevice(vol.ClusterToSector(first), SectorsFor(size, g.BytesPerSector));
}

} // namespace

FileCondition ConditionOnVolume(const Volume &vol, const LiveClusters &live, std::int64_t size,
                                std::int32_t first) {
  if (size <= 0)
    return FileCondition::Empty;
  const auto &g = vol.Geometry();
  const std::int64_t last = LastDataCluster(g);
  if (!g.ClustersFitInMemory() || first < 2 || first > last || live.Holds(first))
    return FileCondition::Overwritten;
  const std::int64_t clusterBytes = g.BytesPerCluster;
  if (size >= clusterBytes) {
    const auto chain = PeekChain(vol, first, static_cast<std::size_t>(size / clusterBytes + 2));
    if (ChainFitsSize(chain, size, clusterBytes))
      return std::any_of(chain.begin(), chain.end(), [&](auto c) { return live.Holds(c); }) ||
                     !ChainOnDevice(vol, chain, size)
                 ? FileCondition::Partly
                 : FileCondition::Intact;
  }
  const std::int64_t needed = (size + clusterBytes - 1) / clusterBytes;
  if (ClusterInUse(vol, first) || needed == 1) {
    // Read as one run from the first cluster.
    if (first + needed - 1 > last || !RunOnDevice(vol, first, size))
      return FileCondition::Partly;
    for (std::int64_t c = first + 1; c < first + needed; ++c)
      if (live.Holds(c))
        return FileCondition::Partly;
    return FileCondition::Intact;
  }
  const FreeRun run = FreeClusterRun(vol, size, first, /*listClusters=*/false);
  // A run that passes no live cluster is read in one piece from the first.
  return run.PassedUsed || run.PastEnd || !RunOnDevice(vol, first, size) ? FileCondition::Partly
                                                                         : FileCondition::Intact;
}

} // namespace orvanta
