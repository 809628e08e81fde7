// Deleted files around live ones: what a restore reads of them and the
// condition a Find gives them, with The Sleuth Kit's icat as the witness.
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#include "restore/host_paths.h"
#include "jobs/restore_jobs.h"
#include "restore_fixture.h"
#include "scan/file_condition.h"
#include "scan/found_file_row.h"
#include "scan/live_clusters.h"
#include "scan/tsk_match.h"
#include "support/cli.h"
#include "support/random_card.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

constexpr std::int32_t B = 1024; // bytes per cluster of the pattern volumes

struct RunCase {
  const char *Name;
  std::vector<std::vector<std::uint32_t>> Live; // chains of live files, named in the root
  std::vector<std::vector<std::uint32_t>> Kept; // chains in the FAT that no live entry names
  std::vector<std::uint32_t> Bad;               // clusters marked bad
  std::uint32_t First;
  std::int32_t Size;
  std::vector<std::uint32_t> Read; // the clusters copied; empty: one run from First
  FileCondition Condition;
};

class DeletedRun : public ::testing::TestWithParam<std::tuple<int, RunCase>> {};

TEST_P(DeletedRun, ReadsTheFreeClustersAndTellsTheCondition) {
  const auto &[fatBits, c] = GetParam();
  auto volume = test::PatternVolume(fatBits);
  if (fatBits == 32) { // the root directory is cluster 2
    volume.PutBytes(volume.ClusterOffset(2), std::vector<std::uint8_t>(B, 0));
    volume.Chain({2});
  }
  std::vector<test::DirEntry> root;
  for (const auto &chain : c.Live) {
    root.push_back(test::ShortEntry("LIVE" + std::to_string(root.size()) + "   BIN", 0x20, chain[0],
                                    std::uint32_t(chain.size()) * B));
    volume.Chain(chain);
  }
  volume.PutEntries(volume.RootOffset(), root);
  for (const auto &chain : c.Kept)
    volume.Chain(chain);
  for (const auto bad : c.Bad)
    volume.SetFat(bad, fatBits == 16 ? 0xFFF7 : 0x0FFFFFF7);
  TempDir dir;
  test::CraftedEngine engine(volume);
  const auto got = engine.Extract(dir / "out", c.Size, static_cast<std::int32_t>(c.First));
  const auto expected = c.Read.empty() ? test::RunFrom(volume, c.First, std::size_t(c.Size))
                                       : test::ClustersOf(volume, c.Read, std::size_t(c.Size));
  EXPECT_TRUE(got.Bytes == expected);
  auto &vol = engine.Engine.State.Vol;
  EXPECT_EQ(ConditionOnVolume(vol, LiveClusters::Of(vol), c.Size, static_cast<std::int32_t>(c.First)),
            c.Condition);
}

using FC = FileCondition;
const RunCase kRunCases[] = {
    {"passes_over_a_live_file", {{12, 13}}, {}, {}, 10, 4 * B - 100, {10, 11, 14, 15}, FC::Partly},
    {"passes_over_live_and_bad_clusters", {{11}, {14, 15}}, {}, {13}, 10, 3 * B, {10, 12, 16}, FC::Partly},
    {"free_run_is_read_as_one", {{20}}, {}, {}, 10, 5 * B, {}, FC::Intact},
    {"first_cluster_held_by_a_live_file", {{10}}, {}, {}, 10, 3 * B, {}, FC::Overwritten},
    {"fitting_chain_of_a_live_file", {{10, 20, 30}}, {}, {}, 10, 3 * B, {10, 20, 30}, FC::Overwritten},
    {"own_chain_kept_in_the_fat", {}, {{10, 20, 30}}, {}, 10, 3 * B, {10, 20, 30}, FC::Intact},
    {"kept_cluster_read_as_a_run_over_a_live_file", {{12}}, {{10}}, {}, 10, 3 * B, {}, FC::Partly},
    {"a_cluster_or_less_beside_a_live_file", {{11}}, {}, {}, 10, B, {}, FC::Intact},
    {"first_cluster_0", {}, {}, {}, 0, 2 * B, {}, FC::Overwritten},
    {"size_0_is_empty", {{10}}, {}, {}, 10, 0, {}, FC::Empty},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeletedRun,
                         ::testing::Combine(::testing::Values(16, 32), ::testing::ValuesIn(kRunCases)),
                         [](const auto &p) {
                           return std::string(std::get<1>(p.param).Name) + "_FAT" +
                                  std::to_string(std::get<0>(p.param));
                         });

// Six files of three clusters, the first, third and fifth deleted, then two
// files written into the holes (fragmented around the live ones) and
// deleted. mtools fills the first free clusters on FAT16; on FAT32 its
// FSInfo next-free hint is set back to cluster 2 first.
TEST(FragmentedCard, FragmentsComeBackAsTheSleuthKitRecoversThemAndByCondition) {
  for (const int bits : {16, 32}) {
    TempDir dir;
    const std::size_t cluster = bits == 16 ? 2048 : 512;
    FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 16 ? 16u * 1024 : 40u * 1024,
                                         .SectorsPerCluster = bits == 16 ? 4 : 1});
    const std::time_t written = test::LocalTime(2019, 5, 7, 9, 5) + 36;
    auto fromTheStart = [&] {
      auto bytes = card.Bytes();
      const std::size_t fsInfo = std::size_t(bytes[48] | bytes[49] << 8) * 512 + 492;
      if (bits == 32)
        bytes[fsInfo] = 2, bytes[fsInfo + 1] = bytes[fsInfo + 2] = bytes[fsInfo + 3] = 0;
      test::WriteFileBytes(card.Path(), bytes);
    };
    for (int n = 1; n <= 6; ++n)
      card.Put("/Layer " + std::to_string(n) + ".bin", PatternBytes(2 * cluster + 100, n), written);
    for (int n : {1, 3, 5})
      card.Delete("/Layer " + std::to_string(n) + ".bin");
    const auto one = PatternBytes(7 * cluster + 11, 11), two = PatternBytes(4 * cluster, 12);
    fromTheStart();
    card.Put("/Fragment one.bin", one, written);
    fromTheStart();
    card.Put("/Fragment two.bin", two, written);
    card.Delete("/Fragment one.bin");
    card.Delete("/Fragment two.bin");

    auto engine = test::EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
    const auto all = test::RunCli({"restore", "--to", (dir / "all").string(), card.Path().string()});
    ASSERT_EQ(all.ExitCode, 0) << all.Err;
    std::map<std::string, std::uint64_t> inodes;
    for (const auto &t : test::Fls(card.Path(), /*deletedOnly=*/true))
      inodes[t.Path] = t.Inode;
    std::map<std::string, std::string> conditions;
    for (const auto &key : test::Keys(engine.State.Catalogue, "E:\\")) {
      const auto row = test::ParseRow(test::Value(engine.State.Catalogue, "E:\\", key));
      conditions[key] = row && row->Condition ? ConditionName(*row->Condition) : "";
      EXPECT_TRUE(ReadFileBytes(dir / "all" / key) == test::Icat(card.Path(), inodes.at(key))) << key;
      struct stat st {};
      EXPECT_EQ(::stat((dir / "all" / key).c_str(), &st), 0);
      EXPECT_EQ(st.st_mtime, written) << key;
    }
    EXPECT_TRUE(ReadFileBytes(dir / "all/Fragment one.bin") == one);
    EXPECT_TRUE(ReadFileBytes(dir / "all/Fragment two.bin") == two);
    EXPECT_EQ(conditions["Fragment one.bin"], "partly");
    EXPECT_EQ(conditions["Fragment two.bin"], "partly");
    EXPECT_EQ(conditions["Layer 5.bin"], "intact");

    const auto intact = test::RunCli({"restore", "--condition", "intact", "--to",
                                      (dir / "intact").string(), card.Path().string()});
    EXPECT_NE(intact.Err.find("Files left out by --condition: 2\n"), std::string::npos) << intact.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "intact/Fragment one.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir / "intact/Layer 5.bin"));
    EXPECT_EQ(test::RunCli({"restore", "--condition=intact,partly", "--to", (dir / "both").string(),
                            card.Path().string()}).Out, all.Out);
    EXPECT_EQ(test::RunCli({"restore", "--condition", "intact,", "--to", "x", card.Path().string()}).ExitCode, 2);
  }
}

// On random cards every deleted file that fls lists and whose first cluster
// is free restores as icat recovers it; the figures go to the output.
void RestoreRandomCards(int fatBits) {
  std::map<std::string, int> counts;
  for (std::uint32_t seed = test::RandomCardFirstSeed();
       seed < test::RandomCardFirstSeed() + test::RandomCardCount(); ++seed) {
    TempDir dir;
    FatImageFile card(dir / "card.img", test::RandomCardGeometry(fatBits));
    test::RandomCardMaker(card, seed * 2 + std::uint32_t(fatBits) + 7).Make();
    auto engine = test::EngineFixture::OfImage(card.Path());
    ASSERT_NE(engine.Find().Outcome, FindOutcome::Result::Refused);
    RestoreState restore{.CurrentSection = "E:\\", .DestFolder = dir / "restored"};
    RestoreFolder(engine.State, restore, engine.Host);
    auto listed = test::Fls(card.Path(), /*deletedOnly=*/true);
    for (const auto &e : test::Entries(engine.State.Catalogue)) {
      const auto row = test::ParseRow(e.Value);
      const std::string condition(row && row->Condition ? ConditionName(*row->Condition) : "none");
      ++counts[condition];
      const test::FoundRow found{e.Section, e.Key, e.Value};
      const auto t = std::find_if(listed.begin(), listed.end(), [&](const test::TskEntry &l) {
        return !l.Directory && test::SameFile(l, found);
      });
      // icat recovers nothing of a file whose first cluster is taken; what
      // fls does not list is bytes of a reused folder cluster.
      if (condition == "overwritten" || t == listed.end())
        return;
      const bool same = ReadFileBytes(SectionFolder(restore.DestFolder, e.Section) / SafeName(e.Key)) ==
                        test::Icat(card.Path(), t->Inode);
      EXPECT_TRUE(same) << "seed " << seed << ": " << e.Section << e.Key << "=" << e.Value;
      listed.erase(t);
      ++counts[condition + " compared"], counts[condition + " as icat"] += same;
    }
  }
  EXPECT_GT(counts["intact compared"], 0);
  std::printf("FAT%d random cards: intact %d (%d of %d as icat), partly %d (%d of %d as icat), "
              "overwritten %d, empty %d\n",
              fatBits, counts["intact"], counts["intact as icat"], counts["intact compared"],
              counts["partly"], counts["partly as icat"], counts["partly compared"],
              counts["overwritten"], counts["empty"]);
}

TEST(RandomCards, DeletedFilesRestoreAsTheSleuthKitRecoversThemOnFat16) { RestoreRandomCards(16); }
TEST(RandomCards, DeletedFilesRestoreAsTheSleuthKitRecoversThemOnFat32) { RestoreRandomCards(32); }

} // namespace
} // namespace orvanta
