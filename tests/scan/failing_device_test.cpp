#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/exfat_card.h"
#include "support/temp_dir.h"
#include "support/catalogue_text.h"
#include "support/scan_fixture.h"

namespace orvanta {
namespace {

std::vector<std::uint8_t> SmallCard() {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 64});
  const auto d = test::FatDate(2024, 1, 1);
  v.PutEntries(v.RootOffset(), {test::ShortEntry("A          ", 0x10, 3, 0, d),
                                test::Deleted(test::ShortEntry("ROOT    TXT", 0x20, 9, 10, d)),
                                test::ShortEntry("B          ", 0x10, 4, 0, d)});
  v.Chain({3});
  v.Chain({4});
  auto a = test::DotPair(3, 0);
  a.push_back(test::Deleted(test::ShortEntry("INA     TXT", 0x20, 10, 10, d)));
  v.PutEntries(v.ClusterOffset(3), a);
  auto b = test::DotPair(4, 0);
  b.push_back(test::Deleted(test::ShortEntry("INB     TXT", 0x20, 11, 10, d)));
  v.PutEntries(v.ClusterOffset(4), b);
  return v.Bytes;
}

std::vector<std::string> Found(test::EngineFixture &engine) {
  std::vector<std::string> out;
  for (const auto &e : test::Entries(engine.State.Catalogue)) { out.push_back(e.Section + e.Key); }
  return out;
}

// A card pulled out after any number of transfers: the Find ends with the
// checks' message or with what it found until then.
TEST(FailingDevice, ACardPulledDuringTheQuickScanEndsItCleanly) {
  const auto bytes = SmallCard();
  auto full = test::EngineFixture::OfBytes(bytes);
  ASSERT_EQ(full.Find().Outcome, FindOutcome::Result::Found);
  const auto all = Found(full);
  ASSERT_EQ(all.size(), 3u);
  const auto transfers = static_cast<MemoryDevice &>(*full.Drive).Reads();

  for (std::uint64_t n = 0; n <= transfers; ++n) {
    auto engine = test::EngineFixture::OfBytes(bytes);
    static_cast<MemoryDevice &>(*engine.Drive).VanishAfter(n);
    const auto outcome = engine.Find();
    const auto got = Found(engine);
    if (outcome.Outcome == FindOutcome::Result::Refused) {
      EXPECT_TRUE(outcome.Message == "Drive not found!" ||
                  outcome.Message == "Access to boot sector denied!" ||
                  outcome.Message == "The software supports only FAT file system!")
          << n << ": " << outcome.Message;
      EXPECT_TRUE(got.empty());
    } else {
      EXPECT_FALSE(engine.State.Operation.Busy());
      for (const auto &f : got)
        EXPECT_NE(std::find(all.begin(), all.end(), f), all.end()) << n << ": " << f;
    }
  }
}

TEST(FailingDevice, AnUnreadableFolderIsSkippedAndTheRestIsScanned) {
  const auto bytes = SmallCard();
  test::CraftedVolume layout({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 64});
  auto engine = test::EngineFixture::OfBytes(bytes);
  const auto clusterSector = layout.ClusterOffset(3) / 512;
  static_cast<MemoryDevice &>(*engine.Drive).FailReads(clusterSector, clusterSector);
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(Found(engine), (std::vector<std::string>{"E:\\\xD1\x85OOT.TXT", "E:\\B\\\xD1\x85NB.TXT"}));
}

// A card pulled out at the start of the deep scan's pass: each block that
// cannot be read costs at most a read per cluster more, never a read per
// sector, on FAT and on exFAT.
TEST(FailingDevice, ACardPulledDuringTheDeepScanIsNotReadSectorBySector) {
  test::TempDir dir;
  test::ExfatCard exfat(dir / "card.img", 8u << 20, 4096);
  test::CraftedVolume fat({.FatBits = 16, .SectorsPerCluster = 8, .Clusters = 4200});
  for (const auto &bytes : {fat.Bytes, exfat.Image()}) {
    auto whole = test::EngineFixture::OfBytes(bytes);
    whole.Find("*.*", /*deep=*/true);
    const auto reads = static_cast<MemoryDevice &>(*whole.Drive).Reads();
    for (std::uint64_t n = 0; n < reads; ++n) {
      auto pulled = test::EngineFixture::OfBytes(bytes);
      auto &device = static_cast<MemoryDevice &>(*pulled.Drive);
      device.VanishAfter(n);
      pulled.Find("*.*", /*deep=*/true);
      EXPECT_LE(device.Reads(), reads + 2 * 4200) << n;
    }
  }
}

} // namespace
} // namespace orvanta
