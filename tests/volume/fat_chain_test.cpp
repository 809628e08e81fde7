#include <gtest/gtest.h>

#include "platform/memory_device.h"
#include "support/crafted_volume.h"
#include "support/recording_host.h"
#include "volume/fat_entries.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

using Chain = std::vector<std::uint32_t>;

// A crafted volume, opened the way the commands open it.
struct Opened {
  test::CraftedVolume Craft;
  std::shared_ptr<MemoryDevice> Device;
  FixedDrives Drives;
  Volume Vol{Drives};

  explicit Opened(int fatBits, std::uint32_t clusters = 64)
      : Craft({.FatBits = fatBits, .Clusters = clusters}) {}
  Volume &Open() {
    Device = std::make_shared<MemoryDevice>(Craft.Bytes);
    Drives.Add("E:", Device);
    EXPECT_EQ(OpenVolume(Vol, "E:", true), VolumeCheck::Ok);
    return Vol;
  }
};

TEST(WalkFat16Chain, FollowsUntilTheEndMark) {
  Opened o(16);
  o.Craft.SetFat(5, 6);
  o.Craft.SetFat(6, 0xFFFF);
  auto &v = o.Open();
  v.WalkFat16Chain(5);
  EXPECT_EQ(v.ChainList(), (Chain{5, 6}));
}

TEST(WalkFat16Chain, OtherEndMarksAndBadClustersAreFollowedAsNumbers) {
  Opened o(16, 200);
  o.Craft.SetFat(5, 0xFFF8); // beyond the image: listed, then the walk ends
  auto &v = o.Open();
  v.WalkFat16Chain(5);
  EXPECT_EQ(v.ChainList(), (Chain{5, 0xFFF8}));
}

TEST(WalkFat32Chain, EndsAtEitherFormOfTheEndMark) {
  for (const std::uint32_t end : {0x0FFFFFFFu, 0xFFFFFFFFu}) {
    Opened o(32);
    o.Craft.SetFat(5, 9);
    o.Craft.SetFat(9, end);
    auto &v = o.Open();
    v.WalkFat32Chain(5);
    EXPECT_EQ(v.ChainList(), (Chain{5, 9})) << std::hex << end;
  }
}

TEST(WalkChain, AFreeFirstEntryGivesJustTheFirstCluster) {
  for (const int bits : {16, 32}) {
    Opened o(bits);
    auto &v = o.Open();
    v.WalkChain(10);
    EXPECT_EQ(v.ChainList(), (Chain{10})) << bits;
  }
}

TEST(WalkChain, FirstClustersOutOfRangeGiveNothing) {
  for (const int bits : {16, 32}) {
    Opened o(bits);
    auto &v = o.Open();
    v.WalkChain(3);
    ASSERT_FALSE(v.ChainList().empty());
    v.WalkChain(static_cast<std::int32_t>(v.Geometry().ClusterCount + 1));
    EXPECT_TRUE(v.ChainList().empty()) << bits;
    v.WalkChain(-1);
    EXPECT_TRUE(v.ChainList().empty()) << bits;
  }
}

TEST(WalkChain, AChainThatLoopsBackEndsBeforeRepeatingACluster) {
  for (const int bits : {16, 32}) {
    Opened o(bits);
    o.Craft.SetFat(4, 7);
    o.Craft.SetFat(7, 8);
    o.Craft.SetFat(8, 4);
    auto &v = o.Open();
    v.WalkChain(4);
    EXPECT_EQ(v.ChainList(), (Chain{4, 7, 8})) << bits;
  }
  Opened self(32);
  self.Craft.SetFat(9, 9);
  auto &v = self.Open();
  v.WalkChain(9);
  EXPECT_EQ(v.ChainList(), (Chain{9}));
}

TEST(WalkChain, AWalkListsAtMostClusterCountClusters) {
  Opened o(16, 300);
  for (std::uint32_t c = 2; c < 301; ++c)
    o.Craft.SetFat(c, c + 1);
  auto &v = o.Open();
  // Pretend the volume is smaller than its FAT: the walk stops at the count.
  v.Geometry().ClusterCount = 50;
  v.WalkChain(2);
  EXPECT_EQ(v.ChainList().size(), 50u);
  EXPECT_EQ(v.ChainList().back(), 51u);
}

TEST(WalkChain, PumpsOncePerClusterAndIgnoresStop) {
  Opened o(32);
  o.Craft.Chain({3, 4, 5, 6});
  auto &v = o.Open();
  test::RecordingHost host;
  host.SetRunning(true);
  host.StopAfterPumps = 1;
  v.WalkChain(3, &host);
  EXPECT_EQ(v.ChainList(), (Chain{3, 4, 5, 6}));
  EXPECT_EQ(host.Pumps, 4);
}

TEST(WalkChain, EachWalkStartsAfresh) {
  Opened o(16);
  o.Craft.Chain({3, 4});
  o.Craft.SetFat(10, 3);
  auto &v = o.Open();
  v.WalkChain(3);
  EXPECT_EQ(v.ChainList(), (Chain{3, 4}));
  v.WalkChain(10); // 3 was listed by the last walk, not by this one
  EXPECT_EQ(v.ChainList(), (Chain{10, 3, 4}));
}

// The marks around the top of each entry width. Columns: FAT type, entry,
// free, end of chain, all-ones end, bad cluster.
TEST(FatEntries, MarksAtTheTopOfEachWidth) {
  struct Row {
    int Type;
    std::uint32_t Entry;
    bool Free, End, AllOnes, Bad;
  };
  const Row rows[] = {
      {16, 0x0000, true, false, false, false},     {16, 0xFFF6, false, false, false, false},
      {16, 0xFFF7, false, false, false, true},     {16, 0xFFF8, false, true, false, false},
      {16, 0xFFFE, false, true, false, false},     {16, 0xFFFF, false, true, true, false},
      {32, 0x00000000, true, false, false, false}, {32, 0xF0000000, true, false, false, false},
      {32, 0x0FFFFFF6, false, false, false, false}, {32, 0xFFFFFFF7, false, false, false, true},
      {32, 0x0FFFFFF8, false, true, false, false}, {32, 0xFFFFFFF8, false, true, false, false},
      {32, 0x0FFFFFFF, false, true, true, false},  {32, 0x0000FFFF, false, false, false, false},
  };
  for (const Row &r : rows) {
    EXPECT_EQ(IsFreeEntry(r.Entry, r.Type), r.Free) << r.Type << " " << std::hex << r.Entry;
    EXPECT_EQ(IsEndOfChain(r.Entry, r.Type), r.End) << r.Type << " " << std::hex << r.Entry;
    EXPECT_EQ(IsAllOnesEndOfChain(r.Entry, r.Type), r.AllOnes) << r.Type << " " << std::hex << r.Entry;
    EXPECT_EQ(IsBadCluster(r.Entry, r.Type), r.Bad) << r.Type << " " << std::hex << r.Entry;
  }
  // Entries are read whole or not at all.
  const std::vector<std::uint8_t> fat{0xF8, 0xFF, 0x34, 0x12, 0x78};
  EXPECT_EQ(ReadFatEntry(fat, 2, 1), 0x1234u);
  EXPECT_FALSE(ReadFatEntry(fat, 2, 2));
  EXPECT_EQ(ReadFatEntry(fat, 4, 0), 0x1234FFF8u);
  EXPECT_FALSE(ReadFatEntry(fat, 4, 1));
}

TEST(ClusterToSector, Cluster2StartsTheDataArea) {
  Opened a(16);
  auto &v16 = a.Open();
  const auto &g = v16.Geometry();
  EXPECT_EQ(v16.ClusterToSector(2), g.RootStartSector + g.RootSectors);
  EXPECT_EQ(v16.ClusterToSector(5), g.RootStartSector + g.RootSectors + 3 * g.SectorsPerCluster);
  EXPECT_EQ(v16.ClusterToSector(1), g.RootStartSector + g.RootSectors - g.SectorsPerCluster);

  Opened b(32);
  auto &v32 = b.Open();
  EXPECT_EQ(v32.ClusterToSector(2), v32.Geometry().RootStartSector);
  // Below sector 0 is a sector that no device has.
  v32.Geometry().RootStartSector = 0;
  EXPECT_EQ(v32.ClusterSector(0), ~std::uint64_t{0});
  std::vector<std::uint8_t> buf(512);
  EXPECT_FALSE(v32.ReadSectors(v32.ClusterSector(0), buf));
}

} // namespace
} // namespace orvanta
