#pragma once

#include <cstdint>

#include "engine/rounding.h"

namespace orvanta {

// How far a run has come: `Done` of `Total` units (folders, blocks,
// clusters, files). 0 of 0 is the empty bar.
struct ProgressFraction {
  std::int64_t Done = 0;
  std::int64_t Total = 0;
  bool operator==(const ProgressFraction &) const = default;
};

// The whole of a run that went to its end.
inline constexpr ProgressFraction kProgressComplete{1, 1};

// Per cent of a fraction: round(Done * 100 / Total), halves to even; 0 when
// there is no total.
inline std::int64_t ProgressPercent(ProgressFraction progress) {
  if (progress.Total <= 0)
    return 0;
  return RoundHalfEven(static_cast<double>(progress.Done) * 100.0 / static_cast<double>(progress.Total));
}

// The windows' bar: a track of 557 pixels with a fill of round(percent *
// 5.57) over it.
inline constexpr int kProgressTrackWidth = 557;
inline int ProgressBarWidth(ProgressFraction progress) {
  return ProgressFillWidth(static_cast<double>(ProgressPercent(progress)));
}

} // namespace orvanta
