// Both wipes on volumes whose geometry is easy to misread: sectors of 1024
// to 4096 bytes with no sector size given, a small FAT16 volume with other
// data behind it on the device, cards without a label. Each wipe may change
// only directory blocks and free clusters.
#include <gtest/gtest.h>

#include <filesystem>

#include "card_checks.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

struct Case {
  const char *Name;
  test::MkfsOptions Mkfs;
  std::size_t TrailingBytes = 0; // other data after the volume on the device
  bool Formatted = false;         // quick-formatted after use
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.Name; }

class WipeKeepsToTheVolume : public ::testing::TestWithParam<Case> {};

TEST_P(WipeKeepsToTheVolume, OnlyDirectoriesAndFreeClustersChange) {
  const Case &c = GetParam();
  TempDir dir;
  const auto master = dir / "card.img";
  {
    FatImageFile card(master, c.Mkfs);
    card.Mkdir("/DCIM/100MEDIA");
    card.Mkdir("/Trip/Day1");
    for (int i = 1; i <= 12; ++i)
      card.Put("/DCIM/100MEDIA/IMG_" + std::to_string(1000 + i) + ".JPG",
               test::PatternBytes(3000 + std::size_t(i) * 700, std::uint32_t(i)));
    card.Put("/Trip/Day1/beach.jpg", test::PatternBytes(9000, 50));
    card.Put("/keep.txt", "kept");
    for (int i : {2, 5, 9, 12})
      card.Delete("/DCIM/100MEDIA/IMG_" + std::to_string(1000 + i) + ".JPG");
    card.DeleteTree("/Trip");
    if (c.Formatted) {
      card.Reformat();
      card.Put("/after the format.txt", "new");
    }
  }
  if (c.TrailingBytes) {
    auto bytes = test::ReadFileBytes(master);
    const auto more = test::PatternBytes(c.TrailingBytes, 99);
    bytes.insert(bytes.end(), more.begin(), more.end());
    test::WriteFileBytes(master, bytes);
  }
  const auto before = test::ReadFileBytes(master);
  const auto live = test::LiveFiles(master, dir / "live");

  // Without a sector size the image is read exactly as with the right one
  // (the deep scan of the large card is left out for time).
  for (const bool deep : {false, true}) {
    if (deep && c.Mkfs.SizeKiB > 64 * 1024)
      continue;
    auto given = test::EngineFixture::OfImage(master, c.Mkfs.SectorSize);
    auto learnt = test::EngineFixture::OfImage(master);
    const auto outcome = learnt.Find("*.*", deep);
    EXPECT_NE(outcome.Outcome, FindOutcome::Result::Refused) << outcome.Message;
    given.Find("*.*", deep);
    EXPECT_EQ(learnt.State.Catalogue.ToIniText(), given.State.Catalogue.ToIniText()) << deep;
  }

  for (const bool freeSpace : {false, true}) {
    const auto image = dir / "copy.img";
    std::filesystem::remove(image);
    test::RunOrFail({"cp", "--sparse=always", master.string(), image.string()}); // large images stay sparse
    const auto outcome = test::WipeImage(image, freeSpace);
    ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
    EXPECT_EQ(outcome.FailedWrites, 0) << freeSpace;
    const auto after = test::ReadFileBytes(image);
    EXPECT_EQ(test::ChangedOutsideTheWipesReach(before, after), std::vector<std::uint64_t>{}) << freeSpace;
    EXPECT_TRUE(test::FsckClean(image)) << freeSpace;
    EXPECT_TRUE(test::LiveFiles(image, dir / "live") == live) << freeSpace;
    if (freeSpace) {
      EXPECT_EQ(test::DirtyFreeClusters(after), std::vector<std::uint32_t>{});
    } else if (!c.Formatted) {
      EXPECT_EQ(outcome.FilesWiped, 5); // four photos and beach.jpg of the deleted tree
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, WipeKeepsToTheVolume,
    ::testing::Values(
        Case{"fat16_1k_sectors", {.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 1, .SectorSize = 1024}},
        Case{"fat16_2k_sectors", {.FatBits = 16, .SizeKiB = 16 * 1024, .SectorsPerCluster = 1, .SectorSize = 2048}},
        // FAT32 needs 65525 clusters for fsck.fat and mtools to take it as one.
        Case{"fat32_4k_sectors", {.FatBits = 32, .SizeKiB = 270 * 1024, .SectorsPerCluster = 1, .SectorSize = 4096}},
        Case{"fat16_6m_then_other_data", {.FatBits = 16, .SizeKiB = 6 * 1024, .SectorsPerCluster = 1}, 512 * 1024},
        Case{"fat32_no_label", {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1, .Label = ""}},
        Case{"fat16_no_label_formatted", {.FatBits = 16, .SizeKiB = 16 * 1024, .SectorsPerCluster = 1, .Label = ""},
             0, true}),
    [](const auto &p) { return std::string(p.param.Name); });

// FAT12 is refused before anything is written, whatever the wipe.
TEST(WipeKeepsToTheVolume, Fat12IsRefusedUntouched) {
  TempDir dir;
  FatImageFile card(dir / "floppy.img", {.FatBits = 12, .SizeKiB = 1440});
  card.Put("/a.txt", "a");
  card.Put("/b.txt", "b");
  card.Delete("/b.txt");
  const auto before = card.Bytes();
  for (const bool freeSpace : {false, true}) {
    const auto outcome = test::WipeImage(card.Path(), freeSpace);
    EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Refused);
    EXPECT_EQ(outcome.Message, "The software supports only FAT file system!");
  }
  EXPECT_EQ(card.Bytes(), before);
}

} // namespace
} // namespace orvanta
