#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/scan_fixture.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

// A card pulled out after any number of transfers of either wipe: the wipe
// ends with its report, and what it had written before stays a consistent
// volume (every directory block written whole or not at all).
TEST(VanishingDevice, AWipeEndsWithItsReportWhenTheCardIsPulled) {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 96});
  const auto d = test::FatDate(2024, 1, 1);
  v.PutEntries(v.RootOffset(), {test::ShortEntry("A          ", 0x10, 3, 0, d),
                                test::Deleted(test::ShortEntry("GONE    TXT", 0x20, 9, 10, d)),
                                test::ShortEntry("KEEP    TXT", 0x20, 4, 10, d)});
  v.Chain({3});
  v.Chain({4});
  auto a = test::DotPair(3, 0);
  a.push_back(test::Deleted(test::ShortEntry("INA     TXT", 0x20, 10, 10, d)));
  a.push_back(test::ShortEntry("LIVE    TXT", 0x20, 5, 10, d));
  v.PutEntries(v.ClusterOffset(3), a);
  v.Chain({5});

  for (const bool freeSpace : {false, true}) {
    for (std::uint64_t n = 0; n <= 40; ++n) {
      auto engine = test::EngineFixture::OfBytes(v.Bytes);
      auto &device = static_cast<MemoryDevice &>(*engine.Drive);
      WipeOptions options;
      options.FreeSpace = freeSpace;
      options.Confirm = [&](const std::string &) {
        device.VanishAfter(device.Reads() + device.Writes() + n);
        return true;
      };
      const auto outcome = RunWipe(engine.State, engine.Host, options);
      ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << freeSpace << " " << n;
      EXPECT_FALSE(engine.State.Operation.Busy());
      EXPECT_TRUE(outcome.Message.starts_with(freeSpace ? "Free drive space wiped: " : "Files wiped: "));
      // The live entries are where they were, or moved to the front of their block.
      const auto &bytes = device.Bytes();
      auto holds = [&](std::size_t block, const char *name) {
        for (std::size_t at = block; at < block + 512; at += 32)
          if (std::equal(name, name + 11, bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            return true;
        return false;
      };
      EXPECT_TRUE(holds(v.RootOffset(), "A          "));
      EXPECT_TRUE(holds(v.RootOffset(), "KEEP    TXT"));
      EXPECT_TRUE(holds(v.ClusterOffset(3), "LIVE    TXT"));
    }
  }
}

} // namespace
} // namespace orvanta
