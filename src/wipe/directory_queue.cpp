#include "wipe/directory_queue.h"

namespace orvanta {

bool DirectoryQueue::Add(std::uint32_t cluster) {
  if (!members_.insert(cluster).second)
    return false;
  items_.push_back(cluster);
  return true;
}

} // namespace orvanta
