#pragma once

#include <cstdint>
#include <vector>

namespace orvanta {

class OperationHost;
class Volume;

// The clusters that the live files and folders of a volume hold: the FAT
// chain of every existing entry met from the root down, and the FAT32 root
// directory's own. A cluster that the FAT marks as taken but that no live
// entry leads to (a chain a device kept for a deleted file, a lost chain, a
// bad cluster) is not held.
class LiveClusters {
public:
  // Reads every live directory once; the host is pumped before each.
  static LiveClusters Of(Volume &vol, OperationHost *host = nullptr);

  bool Holds(std::int64_t cluster) const {
    return cluster >= 0 && std::uint64_t(cluster) < held_.size() && held_[std::size_t(cluster)];
  }

private:
  void MarkChain(const Volume &vol, std::uint32_t first);

  std::vector<bool> held_;
};

} // namespace orvanta
