#pragma once

#include <cstdint>

namespace orvanta {

// What extraction needs of a found file (its catalogue row, FoundFileRow):
// the size and the first cluster.
struct FoundEntry {
  std::int32_t Size = 0;
  std::int32_t FirstCluster = 0;
};

} // namespace orvanta
