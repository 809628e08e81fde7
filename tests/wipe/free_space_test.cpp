// The free-space pass and the Wipe command's engine on crafted volumes.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/rounding.h"
#include "support/fat_image.h"
#include "wipe_test_support.h"

namespace orvanta {
namespace {

using test::Block;
using test::CraftedVolume;
using test::CraftedWipe;
using test::Deleted;
using test::DotPair;
using test::Join;
using test::ShortEntry;

constexpr std::size_t kCluster = 512;

// FAT16, one 512-byte sector per cluster, clusters 2..129 (data at sector 6);
// every data cluster full of old bytes.
CraftedVolume Filled16() {
  CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 128});
  const auto junk = test::PatternBytes(128 * kCluster, 7);
  v.PutBytes(v.ClusterOffset(2), junk);
  return v;
}

bool AllZero(const std::vector<std::uint8_t> &bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// The zero-byte writes the pass made: (first cluster, clusters).
std::vector<std::pair<std::uint32_t, std::uint32_t>> Runs(const CraftedWipe &w, const CraftedVolume &v) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
  for (const auto &[offset, length] : w.Device->Writes)
    if (offset >= v.ClusterOffset(2))
      runs.emplace_back(std::uint32_t((offset - v.ClusterOffset(2)) / kCluster + 2),
                        std::uint32_t(length / kCluster));
  return runs;
}

TEST(FreeSpacePass, RunsOfFreeClustersAreWrittenUpTo32AtATime) {
  auto v = Filled16();
  for (std::uint32_t c = 2; c <= 129; ++c)
    if (c < 10 || c > 49)
      v.SetFat(c, 0xFFFF); // used: clusters 10..49 are the one free run
  CraftedWipe w(v);
  auto engine = w.Engine();
  EXPECT_TRUE(engine.WipeFAT16());
  EXPECT_EQ(Runs(w, v), (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{10, 32}, {42, 8}}));
  EXPECT_TRUE(AllZero(w.Slice(v.ClusterOffset(10), 40 * kCluster)));
  EXPECT_EQ(w.Slice(v.ClusterOffset(50), kCluster),
            std::vector<std::uint8_t>(v.Bytes.begin() + std::ptrdiff_t(v.ClusterOffset(50)),
                                      v.Bytes.begin() + std::ptrdiff_t(v.ClusterOffset(51))));
}

// The boot sector's total may reach past the device (it is estimated on
// small FAT16 volumes) and the FAT holds entries past the data area: the
// last run still ends at the last cluster, so every free cluster is wiped,
// and nothing past the data area is written.
TEST(FreeSpacePass, EveryFreeClusterUpToTheEndOfTheDataAreaIsWiped) {
  for (const bool totalTooLarge : {true, false}) {
    auto v = Filled16();
    v.SetFat(2, 0xFFFF);
    if (totalTooLarge) {
      v.PutLe32(32, 4 * 134); // four times the device
    } else {
      // A device longer than the volume: its tail is not the volume's.
      v.Bytes.resize(v.Bytes.size() + 64 * 512, 0xAA);
    }
    CraftedWipe w(v);
    const auto outcome = w.Run(true);
    EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
    EXPECT_EQ(outcome.FailedWrites, 0);
    EXPECT_TRUE(AllZero(w.Slice(v.ClusterOffset(3), 127 * kCluster))) << totalTooLarge;
    EXPECT_EQ(w.Bytes().size(), v.Bytes.size());
    if (!totalTooLarge) {
      EXPECT_EQ(w.Slice(134 * 512, 64 * 512), std::vector<std::uint8_t>(64 * 512, 0xAA));
    }
  }
}

// The pass writes free clusters and directory blocks and nothing else: the
// boot sector, the reserved sectors, the FAT (where index 1's block lies on
// FAT32) and used file clusters keep their bytes.
TEST(FreeSpacePass, MetadataAndFilesKeepTheirBytes) {
  CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 128, .ReservedSectors = 32});
  v.PutBytes(v.ClusterOffset(2), test::PatternBytes(128 * kCluster, 9));
  v.PutEntries(v.ClusterOffset(2), {ShortEntry("FILE    BIN", 0x20, 40, 2 * kCluster),
                                    Deleted(ShortEntry("OLD     BIN", 0x20, 60, kCluster)),
                                    ShortEntry("DIR        ", 0x10, 70, 0)});
  v.PutBytes(v.ClusterOffset(2) + 3 * 32, std::vector<std::uint8_t>(kCluster - 3 * 32, 0));
  v.Chain({40, 41});
  v.SetFat(70, 0x0FFFFFFF);
  v.PutBytes(v.ClusterOffset(70),
             Block(Join({DotPair(70, 0), {Deleted(ShortEntry("IN      TXT", 0x20, 61, 1))}}), kCluster));
  const std::vector<std::uint8_t> before = v.Bytes;

  CraftedWipe w(v);
  const auto outcome = w.Run(true);
  EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
  EXPECT_EQ(w.Slice(0, v.ClusterOffset(2)),
            std::vector<std::uint8_t>(before.begin(), before.begin() + std::ptrdiff_t(v.ClusterOffset(2))));
  EXPECT_EQ(w.Slice(v.ClusterOffset(40), 2 * kCluster),
            std::vector<std::uint8_t>(before.begin() + std::ptrdiff_t(v.ClusterOffset(40)),
                                      before.begin() + std::ptrdiff_t(v.ClusterOffset(42))));
  EXPECT_EQ(w.Slice(v.ClusterOffset(2), kCluster),
            Block({ShortEntry("FILE    BIN", 0x20, 40, 2 * kCluster), ShortEntry("DIR        ", 0x10, 70, 0)},
                  kCluster));
  EXPECT_EQ(w.Slice(v.ClusterOffset(70), kCluster), Block(DotPair(70, 0), kCluster));
  EXPECT_TRUE(AllZero(w.Slice(v.ClusterOffset(60), kCluster)));
  EXPECT_EQ(w.Fixture.Host.CounterCaption, "Cluster");
}

// The bar moves only when the rounded percentage of n / ClusterCount
// changes, ends full, then empties.
TEST(FreeSpacePass, TheBarMovesWhenItsPercentageChanges) {
  auto v = Filled16();
  CraftedWipe w(v);
  w.Run(true);
  const auto &widths = w.Fixture.Host.Widths;
  ASSERT_GE(widths.size(), 3u);
  EXPECT_EQ(widths.front(), 0);
  EXPECT_EQ(*(widths.end() - 2), 557);
  EXPECT_EQ(widths.back(), 0);
  EXPECT_EQ(std::adjacent_find(widths.begin(), widths.end() - 1), widths.end() - 1);
  // All free: the last run starts at cluster 98 of ClusterCount 134, 73 %.
  EXPECT_EQ(*(widths.end() - 3), ProgressFillWidth(73));
}

TEST(WipeCommand, ChecksRefuseBeforeTheQuestion) {
  auto v = Filled16();
  const std::vector<std::uint8_t> before = v.Bytes;
  auto run = [&](const std::function<void(test::WriteLog &)> &prepare) {
    CraftedWipe w(v);
    prepare(*w.Device);
    bool asked = false;
    WipeOptions options;
    options.Confirm = [&](const std::string &) { return asked = true; };
    const auto outcome = RunWipe(w.Fixture.State, w.Fixture.Host, options);
    EXPECT_FALSE(asked);
    EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Refused);
    EXPECT_EQ(w.Bytes(), before);
    EXPECT_TRUE(w.Device->Writes.empty());
    return outcome.Message;
  };
  const std::string cannotWrite =
      "The drive cannot be opened for writing. It may be write-protected or in use.";
  EXPECT_EQ(run([](test::WriteLog &d) { d.Memory.SetWritable(false); }), cannotWrite);
  EXPECT_EQ(run([](test::WriteLog &d) { d.Memory.SetMountPoint("/media/card"); }), cannotWrite);
  EXPECT_EQ(run([](test::WriteLog &d) { d.Memory.SetFileSystemName("NTFS"); }),
            "The software supports only FAT file system!");
  EXPECT_EQ(run([](test::WriteLog &d) { d.Memory.FailReads(1, 1); }), "Access to boot sector denied!");
  EXPECT_EQ(run([](test::WriteLog &d) { d.Memory.VanishAfter(0); }), "Drive not found!");
}

// No: the volume, the log, the counter and the last results stay.
TEST(WipeCommand, AnsweringNoChangesNothing) {
  auto v = Filled16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1))});
  CraftedWipe w(v);
  w.Fixture.State.Catalogue.Write("E:\\", "kept", "1#a#2#0");
  w.Fixture.Host.Log("last find");
  w.Fixture.State.FoundCount = 4;
  std::string question;
  WipeOptions options;
  options.Confirm = [&](const std::string &q) {
    question = q;
    return false;
  };
  const auto outcome = RunWipe(w.Fixture.State, w.Fixture.Host, options);
  EXPECT_EQ(question, "Are you sure wipe deleted files?");
  EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Declined);
  EXPECT_EQ(w.Bytes(), v.Bytes);
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"last find"}));
  EXPECT_EQ(w.Fixture.State.FoundCount, 4);
  EXPECT_EQ(w.Fixture.State.Catalogue.Keys("E:\\").size(), 1u);
}

TEST(WipeCommand, TheQuickWipeReportsItsCountAndEmptiesTheResults) {
  auto v = Filled16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1)),
                                ShortEntry("SUB        ", 0x10, 5, 0)});
  v.SetFat(5, 0xFFFF);
  v.PutBytes(v.ClusterOffset(5), Block(Join({DotPair(5, 0), {Deleted(ShortEntry("A       TXT", 0x20, 9, 1)),
                                                              Deleted(ShortEntry("B       TXT", 0x20, 9, 1))}}),
                                       kCluster));
  CraftedWipe w(v);
  w.Fixture.State.Catalogue.Write("E:\\", "kept", "1#a#2#0");
  const auto outcome = w.Run(false);
  EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Done);
  EXPECT_EQ(outcome.ReportText(), "Files wiped: 3");
  EXPECT_FALSE(outcome.Stopped);
  EXPECT_EQ(w.Fixture.State.Catalogue.KeyCount(), 0u);
  EXPECT_EQ(w.Fixture.Host.CounterCaption, "Found:");
  EXPECT_EQ(w.Fixture.Host.Counter, 3);
  EXPECT_FALSE(w.Fixture.Host.Running());
  // The queue held one folder: the bar goes from 0 straight to full.
  EXPECT_EQ(w.Fixture.Host.Widths, (std::vector<int>{0, 557, 0}));
}

// Refused writes are counted and reported on a line of their own: a run of
// free clusters, and a directory block.
TEST(WipeCommand, FailedWritesAreReported) {
  auto v = Filled16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1))});
  CraftedWipe w(v);
  w.Device->Memory.FailWrites(v.RootStartSector(), v.RootStartSector()); // the root region
  w.Device->Memory.FailWrites(v.ClusterOffset(100) / 512, v.ClusterOffset(100) / 512);
  const auto outcome = w.Run(true);
  EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
  EXPECT_EQ(outcome.FailedWrites, 2);
  EXPECT_EQ(outcome.ReportText(), "Free drive space wiped: 100%\nWrites that failed: 2");
  // The refused run is left as it was; the rest is zero.
  const auto run = w.Slice(v.ClusterOffset(98), 32 * kCluster);
  EXPECT_EQ(run, std::vector<std::uint8_t>(v.Bytes.begin() + std::ptrdiff_t(v.ClusterOffset(98)),
                                           v.Bytes.begin() + std::ptrdiff_t(v.ClusterOffset(130))));
  EXPECT_TRUE(AllZero(w.Slice(v.ClusterOffset(2), 96 * kCluster)));
}

// A Stop during the pass reports the last percentage computed, without the
// full bar; during the quick wipe the files counted so far.
TEST(WipeCommand, StopReportsWhatWasReached) {
  auto v = Filled16();
  CraftedWipe w(v);
  w.Fixture.Host.StopAfterPumps = 60;
  const auto outcome = w.Run(true);
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_LT(outcome.PercentWiped, 100);
  EXPECT_EQ(outcome.Message, "Free drive space wiped: " + std::to_string(outcome.PercentWiped) + "%");
  EXPECT_EQ(ProgressFillWidth(double(outcome.PercentWiped)), *(w.Fixture.Host.Widths.end() - 2));
  EXPECT_EQ(std::count(w.Fixture.Host.Widths.begin(), w.Fixture.Host.Widths.end(), 557), 0);

  auto q = Filled16();
  q.PutEntries(q.RootOffset(), {Deleted(ShortEntry("A       TXT", 0x20, 9, 1)),
                                Deleted(ShortEntry("B       TXT", 0x20, 9, 1)),
                                Deleted(ShortEntry("C       TXT", 0x20, 9, 1))});
  CraftedWipe s(q);
  s.Fixture.Host.StopAfterPumps = 3; // before the third entry of the root
  const auto quick = s.Run(false);
  EXPECT_TRUE(quick.Stopped);
  EXPECT_EQ(quick.Message, "Files wiped: 2");
  EXPECT_EQ(s.Bytes(), q.Bytes);
}

} // namespace
} // namespace orvanta
