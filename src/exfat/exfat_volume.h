#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "exfat/boot_region.h"
#include "volume/volume.h"
#include "volume/volume_checks.h"

namespace orvanta::exfat {

// Opens the exFAT volume of the selected drive: its boot region (the
// backup region when the main one is not sound), the geometry in the
// volume's TVolumeGeometry (FatType kExfat, the data area at the cluster
// heap, the root cluster, the heap's clusters), the FAT when asked, and
// the clusters of the allocation bitmap and the up-case table shielded
// from every write. BootSectorDenied when neither boot region is sound or
// the volume's metadata cannot be read.
VolumeCheck OpenExfatVolume(Volume &volume, bool loadFat);

// The boot geometry of a volume opened by OpenExfatVolume.
BootGeometry BootOf(const TVolumeGeometry &geometry);

// Which heap clusters are in use: bit n of the bitmap is cluster n + 2. A
// cluster the bitmap does not reach (a bitmap shorter than the heap) counts
// as in use, so that nothing takes it for free space.
class AllocationBitmap {
public:
  AllocationBitmap() = default;
  AllocationBitmap(std::vector<std::uint8_t> bits, std::uint32_t clusterCount)
      : bits_(std::move(bits)), clusterCount_(clusterCount) {}
  bool InUse(std::uint64_t cluster) const {
    if (cluster < 2 || cluster - 2 >= clusterCount_)
      return true;
    const std::uint64_t bit = cluster - 2;
    return bit / 8 >= bits_.size() || (bits_[bit / 8] >> (bit % 8) & 1u) != 0;
  }

private:
  std::vector<std::uint8_t> bits_;
  std::uint32_t clusterCount_ = 0;
};

// Where the volume's own structures lie, from the root directory's entries.
struct Metadata {
  std::uint32_t BitmapCluster = 0;
  std::uint64_t BitmapBytes = 0;
  std::uint32_t UpcaseCluster = 0;
  std::uint64_t UpcaseBytes = 0;
};

// The heap clusters of something that starts at `first` and is `length`
// bytes long, at most `limit` clusters: one run from `first` for a
// NoFatChain allocation, else its FAT chain. A chain ends at the end-of-chain
// mark, at a cluster outside the heap or seen before, or when it has the
// clusters the length needs. With `bitmap` (a deleted file's clusters)
// only clusters it shows free are taken: the list ends before the first
// one in use, and a chain whose next entry is free (a FAT the system
// cleared) goes on with the clusters that follow.
struct Clusters {
  std::vector<std::uint32_t> List;
  // Fewer clusters than the length needs: a cluster in use, the heap's end
  // or a broken chain came first.
  bool Short = false;
};
Clusters ClustersOf(const Volume &volume, std::uint32_t first, std::uint64_t length,
                    bool noFatChain, const AllocationBitmap *freeOnly, std::size_t limit);

// The root directory's clusters along its FAT chain.
std::vector<std::uint32_t> RootClusters(const Volume &volume);

// Reads the given clusters into `out` (one transfer per run of adjacent
// clusters); a run that cannot be read reads as zeros. False when nothing
// could be read.
bool ReadClusterList(Volume &volume, const std::vector<std::uint32_t> &clusters,
                     std::vector<std::uint8_t> &out);

// The root directory's bitmap and up-case entries; nothing when the root
// cannot be read or has no bitmap.
std::optional<Metadata> ReadMetadata(Volume &volume);

// The allocation bitmap of an opened volume; empty (everything in use) when
// it cannot be read.
AllocationBitmap ReadAllocationBitmap(Volume &volume, const Metadata &metadata);

// The allocation bitmap the root directory names; nothing when the root
// cannot be read or names no bitmap.
std::optional<AllocationBitmap> ReadAllocationBitmap(Volume &volume);

// A directory holds at most this many bytes here (exFAT allows 256 MiB).
inline constexpr std::uint64_t kMaxDirectoryBytes = 64u << 20;

} // namespace orvanta::exfat
