#pragma once

#include <cmath>
#include <cstdint>

namespace orvanta {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline std::int64_t RoundHalfEven(double x) {
  const double down = std::floor(x);
  const double diff = x - down;
  if (diff < 0.5)
    return static_cast<std::int64_t>(down);
  if (diff > 0.5)
    return static_cast<std::int64_t>(down) + 1;
  const auto d = static_cast<std::int64_t>(down);
  return d % 2 == 0 ? d : d + 1;
}

// Width of the progress fill for p per cent: round(p * 5.57).
inline int ProgressFillWidth(double percent) {
  return static_cast<int>(RoundHalfEven(percent * 5.57));
}

} // namespace orvanta
