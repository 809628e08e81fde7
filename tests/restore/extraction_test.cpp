#include <gtest/gtest.h>

#include <algorithm>

#include "jobs/restore_jobs.h"
#include "restore_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ClustersOf;
using test::CraftedEngine;
using test::RunFrom;
using test::TempDir;

constexpr std::int32_t B = 1024; // bytes per cluster of the pattern volumes
constexpr std::int32_t S = 512;

struct DecisionCase {
  const char *Name;
  std::uint32_t First;
  std::vector<std::uint32_t> Chain; // linked in the FAT; empty: entries left free
  std::int32_t Size;
  bool AlongChain;    // else one run from the first cluster
  std::size_t Length; // of the output
};

class ChainOrRun : public ::testing::TestWithParam<std::tuple<int, DecisionCase>> {};

// A file of at least a cluster is copied along its chain only when the chain
// has more than one cluster, none of them 0, and is within one cluster of
// the size; everything else is read as one run from the first cluster.
TEST_P(ChainOrRun, CopiesTheClustersTheRuleChooses) {
  const auto &[fatBits, c] = GetParam();
  auto volume = test::PatternVolume(fatBits);
  if (c.First == 0) {
    volume.SetFat(0, c.Chain.front());
    volume.Chain(c.Chain);
  } else if (!c.Chain.empty()) {
    volume.Chain(c.Chain);
  }
  TempDir dir;
  CraftedEngine engine(volume);
  const auto got = engine.Extract(dir / "out", c.Size, static_cast<std::int32_t>(c.First));

  std::vector<std::uint32_t> chain = c.Chain;
  if (c.First == 0)
    chain.insert(chain.begin(), 0);
  const auto expected =
      c.AlongChain ? ClustersOf(volume, chain, c.Length) : RunFrom(volume, c.First, c.Length);
  ASSERT_EQ(got.Bytes.size(), c.Length);
  EXPECT_TRUE(got.Bytes == expected);
  EXPECT_FALSE(got.Result.UnreadableParts);
  EXPECT_EQ(got.Result.WriteError, 0);
}

const DecisionCase kDecisionCases[] = {
    {"three_clusters_chain_of_3", 10, {10, 20, 30}, 3 * B, true, 3 * B},
    {"three_clusters_chain_of_4_last_writes_nothing", 10, {10, 20, 30, 40}, 3 * B, true, 3 * B},
    {"three_clusters_chain_of_2_comes_out_a_cluster_short", 10, {10, 20}, 3 * B, true, 2 * B},
    {"three_clusters_chain_of_5_read_as_run", 10, {10, 20, 30, 40, 50}, 3 * B, false, 3 * B},
    {"three_clusters_chain_of_1_read_as_run", 10, {10}, 3 * B, false, 3 * B},
    {"chain_of_neighbouring_clusters", 10, {10, 11, 12, 40, 41}, 5 * B - 1, true, 5 * B - 1},
    {"chain_cut_inside_its_last_cluster", 10, {10, 20, 30}, 3 * B - 100, true, 3 * B - 100},
    {"freed_chain_read_as_run", 10, {}, 3 * B - 100, false, 3 * B - 100},
    {"smaller_than_a_cluster_read_as_run", 10, {10, 20}, 700, false, 700},
    {"one_sector_exactly", 10, {10, 20}, S, false, S},
    {"size_0_gives_an_empty_file", 10, {10}, 0, false, 0},
    {"chain_through_cluster_0_is_not_used", 0, {20}, 2 * B, false, 2 * B},
};

INSTANTIATE_TEST_SUITE_P(Cases, ChainOrRun,
                         ::testing::Combine(::testing::Values(16, 32),
                                            ::testing::ValuesIn(kDecisionCases)),
                         [](const auto &p) {
                           return std::string(std::get<1>(p.param).Name) + "_FAT" +
                                  std::to_string(std::get<0>(p.param));
                         });

// Unreadable clusters are written as zeros of the length they would have
// had: the file keeps its size and later data its place.
TEST(ExtractFoundFile, AnUnreadableSectorOfAChainBecomesZeros) {
  auto volume = test::PatternVolume(16);
  volume.Chain({10, 20, 30});
  CraftedEngine engine(volume);
  const auto sector20 = static_cast<std::uint64_t>(volume.ClusterOffset(20) / S);
  engine.Memory->FailReads(sector20 + 1, sector20 + 1);
  TempDir dir;
  const auto got = engine.Extract(dir / "out", 3 * B - 100, 10);

  auto expected = ClustersOf(volume, {10, 20, 30}, 3 * B - 100);
  std::fill(expected.begin() + B + S, expected.begin() + 2 * B, std::uint8_t{0});
  EXPECT_TRUE(got.Bytes == expected);
  EXPECT_TRUE(got.Result.UnreadableParts);
}

// Neighbouring clusters of a chain are read together; when that fails they
// are read one by one (a cluster that fails, sector by sector), and Stop
// still ends the copy after any cluster.
TEST(ExtractFoundFile, NeighbouringClustersFailAndStopOneByOne) {
  auto volume = test::PatternVolume(32);
  volume.Chain({10, 11, 12, 20});
  CraftedEngine engine(volume);
  const auto sector11 = static_cast<std::uint64_t>(volume.ClusterOffset(11) / S);
  engine.Memory->FailReads(sector11, sector11);
  TempDir dir;
  const auto got = engine.Extract(dir / "out", 4 * B, 10);
  auto expected = ClustersOf(volume, {10, 11, 12, 20}, 4 * B);
  std::fill(expected.begin() + B, expected.begin() + B + S, std::uint8_t{0});
  EXPECT_TRUE(got.Bytes == expected);
  EXPECT_TRUE(got.Result.UnreadableParts);

  // Stop after the one read of clusters 30 to 32: only cluster 30 is written.
  volume.Chain({30, 31, 32});
  CraftedEngine stoppable(volume);
  test::StopAfterReads host(*stoppable.Memory, 1);
  host.SetRunning(true);
  const auto result = test::ExtractInto(dir / "stopped", [&](OutputFile &out) {
    return ExtractFoundFile(stoppable.Engine.State.Vol, host, {3 * B, 30}, out, true);
  });
  EXPECT_TRUE(result.Stopped);
  EXPECT_TRUE(test::ReadFileBytes(dir / "stopped") == ClustersOf(volume, {30}, B));
}

TEST(ExtractFoundFile, AnUnreadableClusterThatAddsNoBytesLosesNothing) {
  auto volume = test::PatternVolume(16);
  volume.Chain({10, 20, 30, 40});
  CraftedEngine engine(volume);
  const auto sector40 = static_cast<std::uint64_t>(volume.ClusterOffset(40) / S);
  engine.Memory->FailReads(sector40, sector40);
  TempDir dir;
  const auto got = engine.Extract(dir / "out", 3 * B, 10);
  EXPECT_TRUE(got.Bytes == ClustersOf(volume, {10, 20, 30}, 3 * B));
  EXPECT_FALSE(got.Result.UnreadableParts);
}

// A failed run is read again cluster by cluster and a failed cluster sector
// by sector; only the sectors that still fail are zeros.
TEST(ExtractFoundFile, AFailedRunIsReadAgainClusterByClusterAndSectorBySector) {
  auto volume = test::PatternVolume(32);
  CraftedEngine engine(volume);
  const auto sector11 = static_cast<std::uint64_t>(volume.ClusterOffset(11) / S);
  engine.Memory->FailReads(sector11 + 1, sector11 + 1);
  TempDir dir;
  const auto got = engine.Extract(dir / "out", 3 * B, 10);

  auto expected = RunFrom(volume, 10, 3 * B);
  std::fill(expected.begin() + B + S, expected.begin() + 2 * B, std::uint8_t{0});
  EXPECT_TRUE(got.Bytes == expected);
  EXPECT_TRUE(got.Result.UnreadableParts);
}

// The run ends with the sector after the last byte; a failure there costs
// no byte of the file.
TEST(ExtractFoundFile, AFailureInTheRunPastTheSizeLosesNothing) {
  auto volume = test::PatternVolume(16);
  CraftedEngine engine(volume);
  const auto sector12 = static_cast<std::uint64_t>(volume.ClusterOffset(12) / S);
  engine.Memory->FailReads(sector12, sector12);
  TempDir dir;
  const auto got = engine.Extract(dir / "out", 2 * B, 10);
  EXPECT_TRUE(got.Bytes == RunFrom(volume, 10, 2 * B));
  EXPECT_FALSE(got.Result.UnreadableParts);
}

// A first cluster far outside the volume reads nothing but zeros, of the
// file's size.
TEST(ExtractFoundFile, ClustersOutsideTheVolumeGiveZeros) {
  auto volume = test::PatternVolume(16);
  CraftedEngine engine(volume);
  TempDir dir;
  const auto outside = engine.Extract(dir / "outside", 5000, 100000);
  EXPECT_EQ(outside.Bytes, std::vector<std::uint8_t>(5000, 0));
  EXPECT_TRUE(outside.Result.UnreadableParts);
}

// A dump cut short in the middle of a deleted file: the file is "partly"
// there, and its restore keeps every whole sector the dump still holds;
// the dump uncut gives the file back whole.
TEST(ExtractFoundFile, ADumpCutShortInAFileKeepsEverySectorItHolds) {
  for (const bool cut : {false, true}) {
    TempDir dir;
    test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 32 * 1024,
                                               .SectorsPerCluster = 8});
    const auto data = test::PatternBytes(64 * 1024, 5);
    card.Put("/video.mp4", data, test::LocalTime(2025, 1, 1, 0, 0));
    card.Delete("/video.mp4");
    auto image = test::ReadFileBytes(card.Path());
    const auto at = std::search(image.begin(), image.end(), data.begin(), data.begin() + 4096);
    ASSERT_NE(at, image.end());
    constexpr std::ptrdiff_t kCut = 50100; // inside the file's thirteenth 4 KiB cluster
    if (cut) {
      image.resize(std::size_t(at - image.begin() + kCut));
      test::WriteFileBytes(card.Path(), image);
    }

    auto engine = test::EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
    ASSERT_EQ(engine.State.Catalogue.FileCount(), 1u);
    EXPECT_EQ(engine.State.Catalogue.Folders()[0].Files[0].Condition,
              cut ? FileCondition::Partly : FileCondition::Intact);

    RestoreState restore{false, "E:\\", dir / "out"};
    std::filesystem::create_directory(restore.DestFolder);
    const auto outcome = RestoreFolder(engine.State, restore, engine.Host);
    EXPECT_EQ(outcome.Restored, 1);
    EXPECT_EQ(outcome.WithUnreadableParts, cut ? 1 : 0);
    const auto got =
        test::ReadFileBytes(std::filesystem::directory_iterator(dir / "out")->path());
    ASSERT_EQ(got.size(), data.size());
    const auto differ = std::mismatch(got.begin(), got.end(), data.begin()).first - got.begin();
    // The last whole sector before the cut, not the start of its cluster.
    EXPECT_EQ(differ, cut ? kCut / 512 * 512 : std::ptrdiff_t(data.size()));
    EXPECT_TRUE(std::all_of(got.begin() + differ, got.end(), [](auto b) { return b == 0; }));
  }
}

} // namespace
} // namespace orvanta
