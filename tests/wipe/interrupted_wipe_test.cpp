// Both wipes cut off after every single write they make, as a kill or a
// pulled card would: whatever reached the card is a sound volume on which
// every live file is still there, byte for byte, and listed once.
#include <gtest/gtest.h>

#include <algorithm>

#include "card_checks.h"
#include "jobs/wipe_job.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

// Every live path as The Sleuth Kit lists it, sorted: an entry that is
// there twice is listed twice.
std::vector<std::string> LivePaths(const std::filesystem::path &image) {
  std::vector<std::string> paths;
  for (const auto &e : test::Fls(image, false))
    if (!e.Deleted)
      paths.push_back(e.Path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A folder of 60 entries over several 512-byte clusters, a third of them
// deleted all through it, long names across cluster boundaries; deleted
// files in the root and in a nested folder as well.
void Populate(FatImageFile &card) {
  card.Mkdir("/DCIM/Nested");
  for (int i = 0; i < 60; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, i % 2 ? "/DCIM/Photo taken on holiday %02d.jpeg" : "/DCIM/IMG_%04d.JPG", i);
    card.Put(name, test::PatternBytes(200 + std::size_t(i) * 40, std::uint32_t(i)));
  }
  for (int i = 0; i < 60; i += 3) {
    char name[64];
    std::snprintf(name, sizeof name, i % 2 ? "/DCIM/Photo taken on holiday %02d.jpeg" : "/DCIM/IMG_%04d.JPG", i);
    card.Delete(name);
  }
  card.Put("/keep.txt", "kept");
  card.Put("/A long name in the root.txt", std::string(900, 'r'));
  card.Put("/gone.txt", std::string(700, 'g'));
  card.Delete("/gone.txt");
  card.Put("/DCIM/Nested/inner.txt", "inner");
  card.Put("/DCIM/Nested/inner gone.txt", "gone");
  card.Delete("/DCIM/Nested/inner gone.txt");
}

TEST(InterruptedWipe, NoWriteLeavesALiveEntryTwiceOrLosesOne) {
  const test::MkfsOptions kinds[] = {{.FatBits = 16, .SizeKiB = 4096, .SectorsPerCluster = 1},
                                     {.FatBits = 32, .SizeKiB = 34 * 1024, .SectorsPerCluster = 1}};
  for (const auto &kind : kinds) {
    TempDir dir;
    FatImageFile card(dir / "card.img", kind);
    Populate(card);
    const auto original = card.Bytes();
    const auto live = test::LiveFiles(card.Path(), dir / "live");
    const auto paths = LivePaths(card.Path());
    for (const bool freeSpace : {false, true}) {
      SCOPED_TRACE(std::to_string(kind.FatBits) + (freeSpace ? " free-space wipe" : " deleted-entries wipe"));
      // Runs the wipe, the card gone after `cut` writes; returns its writes.
      auto run = [&](std::optional<std::uint64_t> cut) {
        auto engine = test::EngineFixture::OfBytes(original);
        auto &device = static_cast<MemoryDevice &>(*engine.Drive);
        if (cut)
          device.VanishAfterWrites(*cut);
        WipeOptions options;
        options.FreeSpace = freeSpace;
        options.Confirm = [](const std::string &) { return true; };
        const auto outcome = RunWipe(engine.State, engine.Host, options);
        EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
        const auto image = dir / "cut.img";
        test::WriteFileBytes(image, device.Bytes());
        EXPECT_TRUE(test::FsckClean(image));
        EXPECT_EQ(LivePaths(image), paths);
        EXPECT_TRUE(test::LiveFiles(image, dir / "after") == live);
        if (!cut) {
          EXPECT_EQ(test::DeletedInLiveFolders(image), std::vector<std::string>{});
        }
        return device.WritesDone();
      };
      const std::uint64_t writes = run(std::nullopt);
      ASSERT_GT(writes, 3u);
      std::printf("FAT%d %s: %llu writes\n", kind.FatBits, freeSpace ? "free space" : "entries",
                  static_cast<unsigned long long>(writes));
      for (std::uint64_t k = 1; k < writes && !HasFailure(); ++k) {
        SCOPED_TRACE("cut after write " + std::to_string(k));
        run(k);
      }
    }
  }
}

} // namespace
} // namespace orvanta
