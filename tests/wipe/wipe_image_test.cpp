// Both wipes on cards made with mkfs.fat and mtools, with fsck.fat, mtools
// and The Sleuth Kit as witnesses of what the volume holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "support/cli.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "card_checks.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

using test::FsckClean;
using test::Tree;

// A card as people bring them: nested folders, long and non-Latin names, a
// camera folder of several hundred photos with deletions all through its
// clusters, deleted folder trees, and fragmented live files.
void Populate(FatImageFile &card) {
  for (const char *folder : {"/DCIM/100MEDIA", "/Docs/Letters/Old", "/Trip/Day1", "/Trip/Day2", "/Music"})
    card.Mkdir(folder);
  card.Put("/readme.txt", "kept on the card");
  card.Put("/Café déjà vu.txt", std::string(1500, 'c'));
  card.Put("/Привет мир.doc", std::string(2500, 'p'));
  card.Put("/gone.txt", std::string(700, 'g'));
  card.Put("/A rather long name that needs several pieces.txt", std::string(100, 'l'));
  for (int i = 1; i <= 320; ++i) {
    char name[64];
    if (i % 4 == 0)
      std::snprintf(name, sizeof name, "/DCIM/100MEDIA/Holiday picture number %03d.jpeg", i);
    else
      std::snprintf(name, sizeof name, "/DCIM/100MEDIA/IMG_%04d.JPG", i);
    card.Put(name, test::PatternBytes(300 + std::size_t(i) * 3, std::uint32_t(i)));
  }
  // Deletions in every part of the folder, short and long names alike.
  for (int i : {2, 8, 10, 64, 100, 101, 150, 152, 200, 260, 288, 319, 320}) {
    char name[64];
    if (i % 4 == 0)
      std::snprintf(name, sizeof name, "/DCIM/100MEDIA/Holiday picture number %03d.jpeg", i);
    else
      std::snprintf(name, sizeof name, "/DCIM/100MEDIA/IMG_%04d.JPG", i);
    card.Delete(name);
  }
  // Fragmented live files: gaps left by deleted files, then files that
  // fill them.
  for (int i = 0; i < 12; ++i)
    card.Put("/Music/track" + std::to_string(i) + ".mp3", test::PatternBytes(5000, 100 + std::uint32_t(i)));
  for (int i = 0; i < 12; i += 2)
    card.Delete("/Music/track" + std::to_string(i) + ".mp3");
  card.Put("/Music/Long mix spread over the gaps.mp3", test::PatternBytes(26000, 77));
  card.Put("/Docs/Letters/Old/to grandma.txt", std::string(3000, 'm'));
  card.Put("/Docs/Letters/draft.txt", std::string(900, 'd'));
  card.Delete("/Docs/Letters/draft.txt");
  card.Put("/Docs/Letters/final.txt", std::string(800, 'f'));
  card.Put("/Trip/notes.txt", std::string(300, 'n'));
  card.Put("/Trip/Day1/beach.jpg", test::PatternBytes(4000, 7));
  card.Put("/Trip/Day2/Sunset at the lake.jpg", test::PatternBytes(9000, 8));
  card.Delete("/gone.txt");
  card.DeleteTree("/Trip");
}

struct Card {
  TempDir Dir;
  std::filesystem::path Master;
  Tree Live;
};

// One populated card per FAT type, made once.
const Card &CardOf(int fatBits) {
  static std::map<int, std::unique_ptr<Card>> cards;
  auto &card = cards[fatBits];
  if (!card) {
    card = std::make_unique<Card>();
    card->Master = card->Dir / "card.img";
    FatImageFile image(card->Master, {.FatBits = fatBits, .SizeKiB = fatBits == 32 ? 40 * 1024u : 16 * 1024u,
                                      .SectorsPerCluster = fatBits == 32 ? 1 : 4});
    Populate(image);
    card->Live = test::LiveFiles(card->Master, card->Dir / "live");
  }
  return *card;
}

struct Case {
  int FatBits;
  bool FreeSpace;
};

void PrintTo(const Case &c, std::ostream *os) {
  *os << "FAT" << c.FatBits << (c.FreeSpace ? " free space" : " deleted entries");
}

class WipeOnCard : public ::testing::TestWithParam<Case> {};

TEST_P(WipeOnCard, LeavesLiveFilesAndNoDeletedEntries) {
  const auto &card = CardOf(GetParam().FatBits);
  TempDir dir;
  const auto image = dir / "copy.img";
  std::filesystem::copy_file(card.Master, image);
  ASSERT_FALSE(test::DeletedInLiveFolders(image).empty());
  ASSERT_FALSE(test::DirtyFreeClusters(test::ReadFileBytes(image)).empty());

  const auto before = test::ReadFileBytes(image);
  const auto outcome = test::WipeImage(image, GetParam().FreeSpace);
  ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
  EXPECT_EQ(outcome.FailedWrites, 0);
  if (GetParam().FreeSpace) {
    EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
    EXPECT_EQ(test::DirtyFreeClusters(test::ReadFileBytes(image)), std::vector<std::uint32_t>{});
  } else {
    // gone.txt, 6 tracks, 13 photos, and the three files of the deleted
    // Trip tree, whose folders are purged too; draft.txt's entry was taken
    // by final.txt.
    EXPECT_EQ(outcome.Message, "Files wiped: 23");
  }
  EXPECT_TRUE(FsckClean(image));
  EXPECT_EQ(test::DeletedInLiveFolders(image), std::vector<std::string>{});
  EXPECT_TRUE(test::LiveFiles(image, dir / "live") == card.Live) << "live files changed";
  // The boot sector, the FATs and (FAT16) the reserved area are untouched.
  const auto after = test::ReadFileBytes(image);
  const std::size_t fatEnd = (std::size_t(before[14] | before[15] << 8) +
                              std::size_t(before[16]) * (GetParam().FatBits == 32
                                                             ? (before[36] | before[37] << 8)
                                                             : (before[22] | before[23] << 8))) * 512;
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + std::ptrdiff_t(fatEnd), after.begin()));
}

// Stop at points all through the run: every directory is either purged
// whole or untouched, so the volume stays sound and every live file intact.
TEST_P(WipeOnCard, StopAnywhereLeavesTheVolumeSound) {
  const auto &card = CardOf(GetParam().FatBits);
  TempDir dir;
  const auto image = dir / "copy.img";
  std::filesystem::copy_file(card.Master, image);
  long total = 0;
  test::WipeImage(image, GetParam().FreeSpace, {}, &total);
  ASSERT_GT(total, 100);
  std::set<long> stops = {1, 2, 3, 5, 8, 13, total - 1};
  for (int k = 1; k < 12; ++k)
    stops.insert(total * k / 12 + k); // + k: not always on a round number
  for (const long stopAt : stops) {
    std::filesystem::remove(image);
    std::filesystem::copy_file(card.Master, image);
    const auto outcome = test::WipeImage(image, GetParam().FreeSpace, stopAt);
    ASSERT_TRUE(outcome.Stopped) << stopAt;
    ASSERT_TRUE(FsckClean(image)) << "stopped after " << stopAt << " of " << total;
    ASSERT_TRUE(test::LiveFiles(image, dir / "live") == card.Live) << "stopped after " << stopAt;
  }
}

INSTANTIATE_TEST_SUITE_P(Cards, WipeOnCard,
                         ::testing::Values(Case{16, false}, Case{16, true}, Case{32, false}, Case{32, true}),
                         [](const auto &p) {
                           return "FAT" + std::to_string(p.param.FatBits) +
                                  (p.param.FreeSpace ? "FreeSpace" : "DeletedEntries");
                         });

TEST(WipeCli, ReportsOnTheLastLineAndAsksWithoutYes) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 1});
  card.Put("/keep.txt", std::string(3000, 'k'));
  card.Put("/gone.txt", std::string(3000, 'g'));
  card.Delete("/gone.txt");
  const auto before = card.Bytes();
  for (const char *answer : {"n\n", "\n", ""}) {
    const auto r = test::RunCli({"wipe", card.Path().string()}, answer);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Are you sure wipe deleted files?"), std::string::npos);
    EXPECT_NE(r.Err.find("\u00B7 card.img\n"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_EQ(card.Bytes(), before);
  auto r = test::RunCli({"wipe", card.Path().string()}, "yes\n");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Files wiped: 1\n");
  r = test::RunCli({"wipe", "--deep", "--yes", "--drive", "f:", card.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Free drive space wiped: 100%\n");
  EXPECT_EQ(card.Get("/keep.txt"), std::vector<std::uint8_t>(3000, 'k'));
  EXPECT_EQ(test::RunCli({"wipe", "--yes", (dir / "none.img").string()}).Err,
            "orvanta-cli: " + (dir / "none.img").string() + ": Drive not found! (No such file or directory)\n");
  EXPECT_EQ(test::RunCli({"wipe", "--fast", card.Path().string()}).ExitCode, 2);
}

} // namespace
} // namespace orvanta
