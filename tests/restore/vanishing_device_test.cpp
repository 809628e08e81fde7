#include <gtest/gtest.h>

#include "jobs/restore_jobs.h"
#include "restore_fixture.h"
#include "support/temp_dir.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

// A card pulled out after any number of transfers of a folder restore: the
// restore ends with its count, every file it wrote has its full size (zeros
// where the card was gone), and each such file is counted as damaged.
TEST(VanishingDevice, ARestoreEndsWithItsCountWhenTheCardIsPulled) {
  auto v = test::PatternVolume(32);
  v.Chain({10, 11, 12});
  constexpr std::int32_t B = 1024;
  for (int n = 0; n <= 12; ++n) {
    test::CraftedEngine engine(v);
    auto &state = engine.Engine.State;
    state.Catalogue.Write("E:\\A\\", test::Row("chain.bin", std::to_string(3 * B) + "#2019/05/07 09:05#10#0"));
    state.Catalogue.Write("E:\\A\\", test::Row("run.bin", std::to_string(2 * B + 7) + "#2019/05/07 09:05#20#0"));
    state.Catalogue.Write("E:\\", test::Row("small.bin", "100#2019/05/07 09:05#30#0"));
    state.Tree.AddTopLevel("E:");
    test::TempDir dir;
    RestoreState restore{false, "E:\\", dir.Path()};
    engine.Memory->VanishAfter(engine.Memory->Reads() + engine.Memory->Writes() + std::uint64_t(n));
    const auto outcome = RestoreFolder(state, restore, engine.Engine.Host);
    ASSERT_TRUE(outcome.Ran) << n;
    EXPECT_EQ(outcome.Restored, 3) << n;
    EXPECT_FALSE(restore.ResultsBusy);
    EXPECT_EQ(std::filesystem::file_size(dir / "A" / "chain.bin"), 3u * B) << n;
    EXPECT_EQ(std::filesystem::file_size(dir / "A" / "run.bin"), 2u * B + 7) << n;
    EXPECT_EQ(std::filesystem::file_size(dir / "small.bin"), 100u) << n;
    const std::string first = "Files restored: 3";
    if (outcome.WithUnreadableParts == 0) {
      EXPECT_EQ(outcome.Message, first) << n;
    } else {
      EXPECT_EQ(outcome.Message, first + "\nFiles with unreadable parts (filled with zeros): " +
                                     std::to_string(outcome.WithUnreadableParts))
          << n;
    }
    if (n == 0) {
      EXPECT_EQ(outcome.WithUnreadableParts, 3);
    }
  }
}

} // namespace
} // namespace orvanta
