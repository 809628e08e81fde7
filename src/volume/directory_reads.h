#pragma once

#include <cstdint>
#include <vector>

#include "volume/volume.h"

namespace orvanta {

// A directory holds at most this many entries: 2 MiB.
inline constexpr std::size_t kMaxDirectoryEntries = 65536;

// The clusters of the directory that starts at `first`, along its chain in
// the in-memory FAT as long as the chain is intact: each next entry a cluster
// from 2 to ClusterCount, not free, not bad, not seen before, and the whole
// no longer than kMaxDirectoryEntries entries. Always begins with `first`.
// When the first cluster's own entry is free (a deleted directory) or out of
// range, the result is `first` alone.
std::vector<std::uint32_t> DirectoryChain(const Volume &volume, std::uint32_t first);

// Whether the chain of `first` goes on past its first cluster.
bool FirstClusterIsChained(const Volume &volume, std::uint32_t first);

// Reads the given clusters one after another into `out`, one transfer per
// run of adjacent clusters. A run that cannot be read ends the directory
// there; false only when not even the first run could be read.
bool ReadClusters(Volume &volume, const std::vector<std::uint32_t> &clusters,
                  std::vector<std::uint8_t> &out);

// Reads a directory: along its intact chain when its first cluster's FAT
// entry is in use, otherwise `lengthIfFree` bytes from its first cluster.
bool ReadDirectory(Volume &volume, std::uint32_t first, std::size_t lengthIfFree,
                   std::vector<std::uint8_t> &out);

// Reads the root directory: the fixed region on FAT16; on FAT32, the
// geometry's root cluster along its chain.
bool ReadRootDirectory(Volume &volume, std::vector<std::uint8_t> &out);

} // namespace orvanta
