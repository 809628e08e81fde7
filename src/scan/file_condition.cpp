#include "scan/file_condition.h"

#include <algorithm>
#include <array>

#include "scan/live_clusters.h"
#include "volume/file_clusters.h"

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
      return std::any_of(chain.begin(), chain.end(), [&](auto c) { return live.Holds(c); })
                 ? FileCondition::Partly
                 : FileCondition::Intact;
  }
  const std::int64_t needed = (size + clusterBytes - 1) / clusterBytes;
  if (ClusterInUse(vol, first) || needed == 1) {
    // Read as one run from the first cluster.
    if (first + needed - 1 > last)
      return FileCondition::Partly;
    for (std::int64_t c = first + 1; c < first + needed; ++c)
      if (live.Holds(c))
        return FileCondition::Partly;
    return FileCondition::Intact;
  }
  const FreeRun run = FreeClusterRun(vol, size, first, /*listClusters=*/false);
  return run.PassedUsed || run.PastEnd ? FileCondition::Partly : FileCondition::Intact;
}

} // namespace orvanta
