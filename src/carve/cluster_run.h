#pragma once

#include <cstdint>

namespace orvanta::carve {

// Clusters that follow one another on the volume.
struct ClusterRun {
  std::uint32_t First = 0;
  std::uint32_t Count = 0;
  bool operator==(const ClusterRun &) const = default;
};

} // namespace orvanta::carve
