// Both wipes on cards made by a random run of what people do to a card:
// folders made, files written and deleted, whole trees removed, the gaps
// filled again by later files. fsck.fat, mtools and The Sleuth Kit witness
// the result. (ORVANTA_RANDOM_CARDS and ORVANTA_RANDOM_SEED make long runs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "card_checks.h"
#include "support/fat_image.h"
#include "support/random_card.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

void WipeRandomCards(int fatBits) {
  const std::uint32_t cards = test::RandomCardCount();
  const std::uint32_t first = test::RandomCardFirstSeed();
  std::size_t deletedBefore = 0;
  for (std::uint32_t seed = first; seed < first + cards; ++seed) {
    TempDir dir;
    const auto master = dir / "card.img";
    FatImageFile image(master, test::RandomCardGeometry(fatBits));
    test::RandomCardMaker maker(image, seed * 2 + std::uint32_t(fatBits));
    maker.Make();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", made by:\n" + maker.Log());
    const auto live = test::LiveFiles(master, dir / "live");
    deletedBefore += test::DeletedInLiveFolders(master).size();
    const auto copy = dir / "copy.img";

    for (const bool freeSpace : {false, true}) {
      SCOPED_TRACE(freeSpace ? "free-space wipe" : "deleted-entries wipe");
      std::filesystem::copy_file(master, copy, std::filesystem::copy_options::overwrite_existing);
      long pumps = 0;
      const auto outcome = test::WipeImage(copy, freeSpace, std::nullopt, &pumps);
      ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
      EXPECT_EQ(outcome.FailedWrites, 0);
      ASSERT_TRUE(test::FsckClean(copy));
      EXPECT_EQ(test::DeletedInLiveFolders(copy), std::vector<std::string>{});
      ASSERT_TRUE(test::LiveFiles(copy, dir / "after") == live) << "live files changed";
      if (freeSpace) {
        EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
        EXPECT_EQ(test::DirtyFreeClusters(test::ReadFileBytes(copy)), std::vector<std::uint32_t>{});
      }

      // Stopped somewhere in the same run: sound, and nothing live lost.
      const long stopAt = 1 + long(seed * 7919u % std::uint32_t(std::max(1L, pumps)));
      std::filesystem::copy_file(master, copy, std::filesystem::copy_options::overwrite_existing);
      test::WipeImage(copy, freeSpace, stopAt);
      ASSERT_TRUE(test::FsckClean(copy)) << "stopped after " << stopAt << " of " << pumps;
      ASSERT_TRUE(test::LiveFiles(copy, dir / "after") == live) << "stopped after " << stopAt;
    }
  }
  // The cards must give the wipes something to do.
  EXPECT_GT(deletedBefore, cards);
  std::printf("%u cards, %zu deleted entries in live folders before the wipes\n", cards, deletedBefore);
}

TEST(RandomCards, BothWipesKeepEveryLiveFileOnFat16) { WipeRandomCards(16); }
TEST(RandomCards, BothWipesKeepEveryLiveFileOnFat32) { WipeRandomCards(32); }

} // namespace
} // namespace orvanta
