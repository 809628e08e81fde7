// A FAT32 volume of 1,100 GiB: more sectors than a signed 32-bit number
// holds. The image is sparse: only its boot sectors, the FSInfo sector, the
// heads of its two FATs, the root and the two files' clusters are written.
#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#include "card_checks.h"
#include "jobs/drive_summary.h"
#include "scan/found_file_row.h"
#include "support/cli.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

struct LargeCard {
  static constexpr std::uint64_t kSectors = (std::uint64_t{1100} << 30) / 512;
  static constexpr std::uint32_t kReserved = 32, kClusterSectors = 128;
  // Room in each FAT for every cluster the volume can hold.
  static constexpr std::uint32_t kFatSectors =
      static_cast<std::uint32_t>(((kSectors - kReserved) / kClusterSectors + 2) * 4 / 512 + 1);
  static constexpr std::uint64_t kClusters = (kSectors - kReserved - 2 * kFatSectors) / kClusterSectors;

  test::TempDir Dir;
  std::filesystem::path Image = Dir.Path() / "large.img";
  std::vector<std::uint8_t> Deleted = test::PatternBytes(300000, 5);
  std::vector<std::uint8_t> Kept = test::PatternBytes(5000, 6);

  // The root at cluster 2; GONE.BIN deleted from clusters 3 to 7, KEPT.BIN
  // live at cluster 8.
  LargeCard() {
    const int fd = ::open(Image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(kSectors * 512)), 0);
    std::vector<std::uint8_t> boot(512);
    auto le = [](std::vector<std::uint8_t> &b, std::size_t at, int width, std::uint64_t v) {
      for (int i = 0; i < width; ++i)
        b[at + std::size_t(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::uint8_t head[] = {0xEB, 0x58, 0x90, 'M', 'S', 'W', 'I', 'N', '4', '.', '1'};
    std::copy(std::begin(head), std::end(head), boot.begin());
    le(boot, 11, 2, 512);
    boot[13] = kClusterSectors;
    le(boot, 14, 2, kReserved);
    boot[16] = 2;
    boot[21] = 0xF8;
    le(boot, 24, 2, 63);
    le(boot, 26, 2, 255);
    le(boot, 32, 4, kSectors);
    le(boot, 36, 4, kFatSectors);
    le(boot, 44, 4, 2);  // root cluster
    le(boot, 48, 2, 1);  // FSInfo sector
    le(boot, 50, 2, 6);  // backup boot sector
    boot[64] = 0x80;
    boot[66] = 0x29;
    le(boot, 67, 4, 0x12345678);
    std::copy_n("NO NAME    FAT32   ", 19, boot.begin() + 71);
    le(boot, 510, 2, 0xAA55);
    std::vector<std::uint8_t> info(512);
    le(info, 0, 4, 0x41615252);
    le(info, 484, 4, 0x61417272);
    le(info, 488, 4, kClusters - 2); // the root and KEPT.BIN are in use
    le(info, 492, 4, 3);
    le(info, 508, 4, 0xAA550000);
    std::vector<std::uint8_t> fat(512);
    le(fat, 0, 4, 0x0FFFFFF8);
    le(fat, 4, 4, 0x0FFFFFFF);
    le(fat, 8, 4, 0x0FFFFFFF);      // the root
    le(fat, 8 * 4, 4, 0x0FFFFFFF);  // KEPT.BIN
    std::vector<std::uint8_t> root(512);
    const auto gone = test::Deleted(test::ShortEntry("GONE    BIN", 0x20, 3, std::uint32_t(Deleted.size())));
    const auto kept = test::ShortEntry("KEPT    BIN", 0x20, 8, std::uint32_t(Kept.size()));
    std::copy(gone.begin(), gone.end(), root.begin());
    std::copy(kept.begin(), kept.end(), root.begin() + 32);
    auto put = [&](std::uint64_t sector, const std::vector<std::uint8_t> &bytes) {
      EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(sector * 512)),
                ssize_t(bytes.size()));
    };
    put(0, boot);
    put(1, info);
    put(6, boot);
    put(7, info);
    put(kReserved, fat);
    put(kReserved + kFatSectors, fat);
    put(ClusterSector(2), root);
    put(ClusterSector(3), Deleted);
    put(ClusterSector(8), Kept);
    ::close(fd);
  }

  static std::uint64_t ClusterSector(std::uint32_t cluster) {
    return kReserved + 2 * std::uint64_t{kFatSectors} + (cluster - 2) * std::uint64_t{kClusterSectors};
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
    // Whole-volume clusters of 64 KiB: 1,100 GiB.
    EXPECT_EQ(summary.Lines[0], "FAT32, 1126400 Mb");
    EXPECT_EQ(summary.Lines[4], "Sectors - 2306867200");
    EXPECT_EQ(summary.Lines[5], "Clusters - 18022400");

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
