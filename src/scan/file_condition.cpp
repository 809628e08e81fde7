#include "scan/file_condition.h"

#include <array>

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

FileCondition ConditionOnVolume(const Volume &vol, std::int64_t size, std::int32_t first,
                                bool deletedEntry) {
  if (size <= 0)
    return FileCondition::Empty;
  const auto &g = vol.Geometry();
  if (!g.ClustersFitInMemory())
    return FileCondition::Overwritten; // nothing of it can be read
  const std::int64_t clusterBytes = g.BytesPerCluster;
  if (size >= clusterBytes) {
    const auto limit = static_cast<std::size_t>(size / clusterBytes + 2);
    if (ChainFitsSize(PeekChain(vol, first, limit), size, clusterBytes))
      return deletedEntry ? FileCondition::Overwritten : FileCondition::Intact;
  }
  if (ClusterInUse(vol, first) || first > LastDataCluster(g))
    return FileCondition::Overwritten;
  if (size <= clusterBytes)
    return FileCondition::Intact;
  const FreeRun run = FreeClusterRun(vol, size, first, /*listClusters=*/false);
  return run.PassedUsed || run.PastEnd ? FileCondition::Partly : FileCondition::Intact;
}

} // namespace orvanta
