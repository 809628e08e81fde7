#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace orvanta {

// What makes a FAT16 or FAT32 volume unsafe to wipe: a wipe writes where the
// geometry and the FAT say directories and free clusters lie, so a damaged
// boot sector or a damaged chain would turn its writes onto live files or
// the FATs.
enum class WipeHazard {
  None,
  NoFat,              // the boot sector counts 0 FATs
  FatTooSmall,        // a FAT has no entry for some cluster of the data area
  DataOutside,        // the data area does not begin inside the volume and the device
  FatMisplaced,       // the first FAT does not begin with the media entry
  RootClusterOutside, // the FAT32 root's first cluster is not a data cluster
  FolderChainBroken,  // a folder's chain leaves the data area, meets a free or bad entry, or loops
  FolderStart,        // a folder does not begin with its own "." entry and ".."
  ChainsShared,       // a cluster belongs to two chains, or to one chain twice
  FileChain,          // a file's chain is broken or does not match its size
  ClusterSize,        // the boot sector's cluster size is 0 or not a power of two
  LostClusters,       // the FAT marks clusters in use that no file or folder holds
};

struct WipeFinding {
  WipeHazard Hazard = WipeHazard::None;
  // The volume path of the folder or file concerned ("E:\DCIM\IMG_0001.JPG"),
  // empty for the geometry.
  std::string Path;

  explicit operator bool() const { return Hazard != WipeHazard::None; }
};

// The checks a wipe passes before it writes anything, over the volume's
// geometry and loaded FAT, as a file-system checker would make them: at
// least one FAT, a cluster size of a power of two, each FAT large enough
// for the data area, the data area inside the volume and the device, the
// FAT where the geometry puts it, and one pass over the directory tree that
// follows every live folder's and file's chain, marking each cluster once,
// so that a chain that leaves the data area, loops, is shared or does not
// match its file's size is found, and then any cluster in use that no chain
// holds (which is also what a misread geometry leaves).
// Reads directories only; writes nothing. The first hazard found is given.
class WipeSafety {
public:
  explicit WipeSafety(Volume &volume) : volume_(volume) {}

  WipeFinding Check();

private:
  struct Folder {
    std::uint32_t First = 0; // 0: the FAT16 root region
    std::string Path;
  };

  WipeFinding CheckGeometry();
  WipeFinding CheckTree();
  WipeFinding FolderClusters(const Folder &folder, std::vector<std::uint32_t> &chain);
  WipeFinding FileChain(std::uint32_t first, std::uint32_t size, const std::string &path);

  Volume &volume_;
  std::uint32_t lastCluster_ = 1;
  // Per cluster: 0 unclaimed, else claimed by a folder or a file.
  std::vector<std::uint8_t> owner_;
};

} // namespace orvanta
