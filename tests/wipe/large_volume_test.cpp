// A FAT32 volume of 1,100 GiB: more sectors than a signed 32-bit number
// holds. The image is sparse; mkfs.fat writes only its FATs.
#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#include "card_checks.h"
#include "jobs/drive_summary.h"
#include "scan/found_file_row.h"
#include "support/cli.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::FatImageFile;

struct LargeCard {
  test::TempDir Dir;
  std::filesystem::path Image = Dir.Path() / "large.img";
  std::vector<std::uint8_t> Deleted = test::PatternBytes(300000, 5);
  std::vector<std::uint8_t> Kept = test::PatternBytes(5000, 6);

  LargeCard() {
    FatImageFile card(Image, {.FatBits = 32, .SizeKiB = std::uint64_t{1100} << 20,
                              .SectorsPerCluster = 128});
    card.Put("/GONE.BIN", Deleted);
    card.Put("/KEPT.BIN", Kept);
    card.Delete("/GONE.BIN");
  }

  // The bytes of the volume at the deleted file's first cluster.
  std::vector<std::uint8_t> AtCluster(std::uint32_t cluster, std::size_t length) const {
    const auto boot = ReadAt(0, 512);
    auto le16 = [&](std::size_t at) { return std::uint64_t(boot[at] | boot[at + 1] << 8); };
    auto le32 = [&](std::size_t at) { return le16(at) | le16(at + 2) << 16; };
    const std::uint64_t dataStart = le16(14) + boot[16] * le32(36);
    return ReadAt((dataStart + (cluster - 2) * boot[13]) * 512, length);
  }

  std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t length) const {
    std::vector<std::uint8_t> bytes(length);
    const int fd = ::open(Image.c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, bytes.data(), length, static_cast<off_t>(offset)), ssize_t(length));
    ::close(fd);
    return bytes;
  }
};

TEST(LargeVolume, EveryCommandCountsPastTwoBillionSectors) {
  LargeCard card;
  {
    auto engine = test::EngineFixture::OfImage(card.Image);
    const auto summary = ReadDriveSummary(engine.State, "E:");
    ASSERT_EQ(summary.Outcome, DriveSummary::Result::Ready) << summary.Message;
    // mkfs.fat leaves off the sectors of an incomplete track at the end.
    const auto boot = card.ReadAt(0, 512);
    const std::uint64_t sectors = boot[32] | boot[33] << 8 | boot[34] << 16 | std::uint64_t{boot[35]} << 24;
    ASSERT_GT(sectors, 0x80000000u);
    const std::uint64_t clusters = sectors / 128;
    EXPECT_EQ(summary.Lines[0], "FAT32, " + std::to_string((clusters * 65536 + (1 << 19)) >> 20) + " Mb");
    EXPECT_EQ(summary.Lines[4], "Sectors - " + std::to_string(sectors));
    EXPECT_EQ(summary.Lines[5], "Clusters - " + std::to_string(clusters));

    ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
    const auto *root = engine.State.Catalogue.Folder("E:\\");
    ASSERT_TRUE(root);
    ASSERT_EQ(root->Files.size(), 1u);
    const auto *row = &root->Files[0];
    EXPECT_EQ(row->Size, 300000u);
    EXPECT_EQ(row->Condition, FileCondition::Intact);
  }
  const auto restored = card.Dir.Path() / "out";
  const auto r = test::RunCli({"restore", "--to", restored.string(), card.Image.string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  std::vector<std::uint8_t> back;
  for (const auto &e : std::filesystem::directory_iterator(restored))
    back = test::ReadFileBytes(e.path());
  EXPECT_EQ(back, card.Deleted);
}

TEST(LargeVolume, BothWipesReachTheDeletedFile) {
  LargeCard card;
  const auto quick = test::WipeImage(card.Image, /*freeSpace=*/false);
  EXPECT_EQ(quick.FilesWiped, 1);
  EXPECT_EQ(quick.FailedWrites, 0);
  const auto root = card.AtCluster(2, 512);
  // The deleted entry is blanked where it lay: 0xE5, then zero bytes.
  for (std::size_t at = 0; at < root.size(); at += 32)
    if (root[at] == 0xE5) {
      EXPECT_TRUE(std::all_of(root.begin() + std::ptrdiff_t(at + 1), root.begin() + std::ptrdiff_t(at + 32),
                              [](std::uint8_t b) { return b == 0; }))
          << at;
    }
  EXPECT_TRUE(test::FsckClean(card.Image));

  // The free-space pass over 1,100 GiB is stopped once it has passed the
  // first few hundred clusters, where the deleted file lay.
  ASSERT_EQ(card.AtCluster(3, card.Deleted.size()), card.Deleted);
  const auto deep = test::WipeImage(card.Image, /*freeSpace=*/true, 400);
  EXPECT_TRUE(deep.Stopped);
  EXPECT_EQ(deep.FailedWrites, 0);
  EXPECT_EQ(card.AtCluster(3, card.Deleted.size()), std::vector<std::uint8_t>(card.Deleted.size()));
  EXPECT_TRUE(test::FsckClean(card.Image));
  const auto r = test::Run({"mtype", "-i", card.Image.string(), "::/KEPT.BIN"});
  EXPECT_EQ(r.Out, std::string(card.Kept.begin(), card.Kept.end()));
}

} // namespace
} // namespace orvanta
