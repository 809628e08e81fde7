#pragma once

#include <cstdint>

namespace orvanta {

// What extraction needs of a found file (its catalogue row, FoundFileRow):
// the size and the first cluster.
struct FoundEntry {
  std::uint64_t Size = 0;
  std::uint32_t FirstCluster = 0;
};

} // namespace orvanta
