#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "carve/cluster_run.h"

namespace orvanta {

// What extraction needs of a found file (its catalogue row, FoundFileRow):
// the size and the first cluster, and the runs of clusters of a file found
// by its content whose clusters do not follow one another.
struct FoundEntry {
  std::uint64_t Size = 0;
  std::uint32_t FirstCluster = 0;
  std::vector<carve::ClusterRun> Runs;
  // Bytes past this many read as zeros (an exFAT file's valid data length).
  std::optional<std::uint64_t> ValidLength;
};

} // namespace orvanta
