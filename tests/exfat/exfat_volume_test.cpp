#include <gtest/gtest.h>

#include <fstream>

#include "support/cli.h"
#include "support/exfat_card.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ExfatCard;
using test::RunCli;
using test::TempDir;

TEST(ExfatVolume, InfoGivesTheSummaryForEveryClusterSize) {
  TempDir dir;
  for (const std::uint32_t cluster : {512u, 4096u, 32768u, 131072u}) {
    SCOPED_TRACE(cluster);
    ExfatCard card(dir / "card.img", 32u << 20, cluster, cluster == 4096 ? "" : "CARD");
    const auto r = RunCli({"info", card.Path().string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "exFAT, 32 Mb\n"
                     "Bytes per sector - 512\n"
                     "Bytes per cluster - " + std::to_string(cluster) + "\n"
                     "Sectors per cluster - " + std::to_string(cluster / 512) + "\n"
                     "Sectors - 65536\n"
                     "Clusters - " + std::to_string(65536 / (cluster / 512)) + "\n");
  }
}

// Damages one sector of the image: a byte of an extended boot sector, which
// only the checksum notices.
void Damage(const std::filesystem::path &image, std::uint64_t sector) {
  std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(std::streamoff(sector * 512 + 100));
  f.put('\x5A');
}

TEST(ExfatVolume, BackupBootRegionServesWhenTheMainOneFailsItsChecksum) {
  TempDir dir;
  ExfatCard card(dir / "card.img", 16u << 20, 4096);
  const auto sound = RunCli({"info", card.Path().string()});
  ASSERT_EQ(sound.ExitCode, 0) << sound.Err;
  Damage(card.Path(), 1);
  auto r = RunCli({"info", card.Path().string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, sound.Out);
  Damage(card.Path(), 12 + 1);
  r = RunCli({"info", card.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Access to boot sector denied!\n");
}

} // namespace
} // namespace orvanta
