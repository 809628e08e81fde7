#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "volume/volume.h"

namespace orvanta {

// What the FAT says about the clusters a found file's copy reads. A file of
// at least a cluster whose chain fits its size is copied along the chain; any
// other file is read as a run from its first cluster. When that first
// cluster is free, the file is a deleted one whose data lies in free
// clusters: its run passes over the clusters that the FAT gives to live
// files and goes on with the next free one.

// The last cluster that lies wholly inside the volume.
std::int64_t LastDataCluster(const TVolumeGeometry &g);

// Whether the FAT gives the cluster to something (a file, a folder, a bad
// mark); clusters 0 and 1 stand for the metadata before the data area and
// count as taken. A cluster past the data area, or whose entry lies outside
// the image, is not taken.
bool ClusterInUse(const Volume &vol, std::int64_t cluster);

// Whether a chain walked from the first cluster is the one a copy follows:
// more than one cluster, none of them 0, and within one cluster of the size.
bool ChainFitsSize(const std::vector<std::uint32_t> &chain, std::int64_t size,
                   std::int64_t clusterBytes);

// The chain that WalkChain would list from `first`, without touching the
// volume's ChainList, and no longer than `limit` clusters.
std::vector<std::uint32_t> PeekChain(const Volume &vol, std::int32_t first, std::size_t limit);

// The run of a file whose first cluster is free: the free clusters from the
// first on that hold its `size` bytes, in order.
struct FreeRun {
  std::vector<std::uint32_t> Clusters; // filled only when asked for
  // Clusters in use lay between the first and the last cluster of the run.
  bool PassedUsed = false;
  // The run goes on past the last cluster of the volume.
  bool PastEnd = false;
};
FreeRun FreeClusterRun(const Volume &vol, std::int64_t size, std::int32_t first,
                       bool listClusters);

} // namespace orvanta
