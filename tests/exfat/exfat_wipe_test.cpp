#include <gtest/gtest.h>

#include <map>

#include "exfat/exfat_volume.h"
#include "filled_card.h"
#include "jobs/wipe_job.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"

namespace orvanta {
namespace {

using test::ExfatCard;
using test::TempDir;

// The live files as The Sleuth Kit reads them: path -> bytes.
std::map<std::string, std::vector<std::uint8_t>> LiveFiles(const std::filesystem::path &image) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto &e : test::Fls(image, false))
    if (!e.Deleted && !e.Directory && e.Path.find('$') == std::string::npos &&
        !e.Path.ends_with("(Volume Label Entry)"))
      files[e.Path] = test::Icat(image, e.Inode);
  return files;
}

TEST(ExfatWipe, BothWipesKeepLiveFilesAndLeaveNoDeletedSet) {
  for (const std::uint32_t cluster : {512u, 4096u, 32768u, 131072u})
    for (const bool freeSpace : {false, true}) {
      SCOPED_TRACE(std::to_string(cluster) + (freeSpace ? " free space" : " entries"));
      TempDir dir;
      ExfatCard card(dir / "card.img", 48u << 20, cluster, "CARD");
      const auto expected = test::Fill(card);
      const auto live = LiveFiles(card.Path());
      ASSERT_EQ(live.size(), expected.Live.size());

      auto fx = test::EngineFixture::OfImage(card.Path());
      WipeOptions options{.Drive = "E:", .FreeSpace = freeSpace,
                          .Confirm = [](const std::string &) { return true; }};
      const WipeOutcome wiped = RunWipe(fx.State, fx.Host, options);
      ASSERT_EQ(wiped.Outcome, WipeOutcome::Result::Done) << wiped.Message;
      EXPECT_EQ(wiped.FailedWrites, 0);
      EXPECT_EQ(wiped.FilesWiped, std::int64_t(expected.Deleted.size()));

      EXPECT_EQ(test::Run({"fsck.exfat", "-n", card.Path().string()}).ExitCode, 0);
      EXPECT_EQ(LiveFiles(card.Path()), live);
      // No deleted entry in any folder; after the free-space wipe none in
      // free clusters either (The Sleuth Kit's orphans: stray bytes of old
      // files that look like entries).
      for (const auto &e : test::Fls(card.Path(), true))
        if (freeSpace || !e.Path.starts_with("$OrphanFiles/"))
          ADD_FAILURE() << e.Path;
      EXPECT_EQ(fx.Find().Outcome, FindOutcome::Result::NothingFound);
      if (!freeSpace)
        continue;
      // Every cluster the bitmap shows free holds zeros.
      Volume &vol = fx.State.Vol;
      const auto bitmap = *exfat::ReadAllocationBitmap(vol);
      const auto image = test::ReadFile(card.Path());
      const auto boot = exfat::BootOf(vol.Geometry());
      std::size_t nonZero = 0;
      for (std::uint32_t c = 2; c <= boot.LastCluster(); ++c) {
        if (bitmap.InUse(c))
          continue;
        const auto at = boot.ClusterSector(c) * 512;
        nonZero += std::any_of(image.begin() + std::ptrdiff_t(at),
                               image.begin() + std::ptrdiff_t(at + boot.BytesPerCluster()),
                               [](std::uint8_t b) { return b != 0; });
      }
      EXPECT_EQ(nonZero, 0u);
    }
}

} // namespace
} // namespace orvanta
