#include <gtest/gtest.h>

#include "engine/progress.h"
#include "support/recording_host.h"

namespace orvanta {
namespace {

TEST(Progress, PercentAndBarWidthRoundHalvesToEven) {
  struct Case {
    ProgressFraction At;
    std::int64_t Percent;
    int Width;
  };
  const Case cases[] = {
      {{0, 0}, 0, 0},       {{0, 7}, 0, 0},       {{1, 3}, 33, 184},   {{2, 3}, 67, 373},
      {{1, 8}, 12, 67},     {{3, 8}, 38, 212},    {{1, 200}, 0, 0},    {{3, 200}, 2, 11},
      {{1, 1}, 100, 557},   {{2, 5}, 40, 223},    {{999, 1000}, 100, 557},
      {{3'000'000'000, 4'000'000'000}, 75, 418},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(ProgressPercent(c.At), c.Percent) << c.At.Done << " of " << c.At.Total;
    EXPECT_EQ(ProgressBarWidth(c.At), c.Width) << c.At.Done << " of " << c.At.Total;
  }
}

TEST(Progress, TheHostPassesOnOnlyAChangeOfPercentAndAdvanceOnlyGrows) {
  test::RecordingHost host;
  host.AdvanceProgress(1, 3);
  host.AdvanceProgress(34, 100); // 34 %: more
  host.AdvanceProgress(1, 4);    // 25 %: less, the bar stays
  host.MoveProgress(1, 4);       // ... unless it may move back
  host.MoveProgress(250, 1000);  // the same 25 %
  EXPECT_EQ(host.Widths, (std::vector<int>{184, 189, 139}));
  EXPECT_EQ(host.Progress(), (ProgressFraction{1, 4}));
}

} // namespace
} // namespace orvanta
