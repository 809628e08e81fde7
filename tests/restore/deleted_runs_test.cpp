// Deleted files whose data lies around live files: the clusters a restore
// reads of them, the condition a Find gives them, and The Sleuth Kit's icat
// as the witness of what such a file holds.
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#include "restore/host_paths.h"
#include "restore/restore_jobs.h"
#include "restore_fixture.h"
#include "scan/file_condition.h"
#include "scan/found_file_row.h"
#include "scan/tsk_match.h"
#include "support/cli.h"
#include "support/random_card.h"
#include "support/temp_dir.h"
#include "support/tsk.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

constexpr std::int32_t B = 1024; // bytes per cluster of the pattern volumes

struct RunCase {
  const char *Name;
  std::vector<std::vector<std::uint32_t>> Live; // chains of live files
  std::vector<std::uint32_t> Bad;               // clusters marked bad
  std::uint32_t First;
  std::int32_t Size;
  bool Deleted;                    // the entry is marked deleted
  std::vector<std::uint32_t> Read; // the clusters copied; empty: one run from First
  FileCondition Condition;
};

class DeletedRun : public ::testing::TestWithParam<std::tuple<int, RunCase>> {};

TEST_P(DeletedRun, ReadsTheFreeClustersAndTellsTheCondition) {
  const auto &[fatBits, c] = GetParam();
  auto volume = test::PatternVolume(fatBits);
  for (const auto &chain : c.Live)
    volume.Chain(chain);
  for (const auto bad : c.Bad)
    volume.SetFat(bad, fatBits == 16 ? 0xFFF7 : 0x0FFFFFF7);
  TempDir dir;
  test::CraftedEngine engine(volume);
  const auto got = engine.Extract(dir / "out", c.Size, static_cast<std::int32_t>(c.First));
  const auto expected = c.Read.empty() ? test::RunFrom(volume, c.First, std::size_t(c.Size))
                                       : test::ClustersOf(volume, c.Read, std::size_t(c.Size));
  EXPECT_TRUE(got.Bytes == expected);
  EXPECT_EQ(ConditionOnVolume(engine.Engine.State.Vol, c.Size, static_cast<std::int32_t>(c.First),
                              c.Deleted),
            c.Condition);
}

using FC = FileCondition;
const RunCase kRunCases[] = {
    {"passes_over_a_live_file", {{12, 13}}, {}, 10, 4 * B - 100, true, {10, 11, 14, 15}, FC::Partly},
    {"passes_over_live_and_bad_clusters", {{11}, {14, 15}}, {13}, 10, 3 * B, true, {10, 12, 16}, FC::Partly},
    {"free_run_is_read_as_one", {{20}}, {}, 10, 5 * B, true, {}, FC::Intact},
    {"first_cluster_held_by_a_live_file", {{10}}, {}, 10, 3 * B, true, {}, FC::Overwritten},
    {"chain_behind_a_deleted_entry_is_a_live_file", {{10, 20, 30}}, {}, 10, 3 * B, true, {10, 20, 30}, FC::Overwritten},
    {"own_chain_of_an_entry_not_deleted", {{10, 20, 30}}, {}, 10, 3 * B, false, {10, 20, 30}, FC::Intact},
    {"a_cluster_or_less_beside_a_live_file", {{11}}, {}, 10, B, true, {}, FC::Intact},
    {"first_cluster_0", {}, {}, 0, 2 * B, true, {}, FC::Overwritten},
    {"size_0_is_empty", {{10}}, {}, 10, 0, true, {}, FC::Empty},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeletedRun,
                         ::testing::Combine(::testing::Values(16, 32), ::testing::ValuesIn(kRunCases)),
                         [](const auto &p) {
                           return std::string(std::get<1>(p.param).Name) + "_FAT" +
                                  std::to_string(std::get<0>(p.param));
                         });

// mtools, like a camera, fills the first free clusters on FAT16; on FAT32
// it starts at the FSInfo's next-free hint, which is set back to cluster 2.
void AllocateFromTheStart(const FatImageFile &card) {
  if (card.Options().FatBits != 32)
    return;
  auto bytes = card.Bytes();
  const std::size_t fsInfo = std::size_t(bytes[48] | bytes[49] << 8) * card.Options().SectorSize;
  bytes[fsInfo + 492] = 2;
  bytes[fsInfo + 493] = bytes[fsInfo + 494] = bytes[fsInfo + 495] = 0;
  test::WriteFileBytes(card.Path(), bytes);
}

// Six files of three clusters; the first, third and fifth deleted; then two
// files written into the holes, each fragmented around the live ones, and
// deleted in turn.
class FragmentedCard : public ::testing::TestWithParam<int> {
protected:
  void SetUp() override {
    const int bits = GetParam();
    cluster_ = bits == 16 ? 2048 : 512;
    card_.emplace(dir_ / "card.img",
                  test::MkfsOptions{.FatBits = bits, .SizeKiB = bits == 16 ? 16u * 1024 : 40u * 1024,
                                    .SectorsPerCluster = bits == 16 ? 4 : 1});
    for (int n = 1; n <= 6; ++n)
      card_->Put("/Layer " + std::to_string(n) + ".bin", PatternBytes(2 * cluster_ + 100, n), kWritten);
    for (int n : {1, 3, 5})
      card_->Delete("/Layer " + std::to_string(n) + ".bin");
    AllocateFromTheStart(*card_);
    card_->Put("/Fragment one.bin", fragments_[0] = PatternBytes(7 * cluster_ + 11, 11), kWritten);
    AllocateFromTheStart(*card_);
    card_->Put("/Fragment two.bin", fragments_[1] = PatternBytes(4 * cluster_, 12), kWritten);
    card_->Delete("/Fragment one.bin");
    card_->Delete("/Fragment two.bin");
  }

  static inline const std::time_t kWritten = test::LocalTime(2019, 5, 7, 9, 5) + 36;
  TempDir dir_;
  std::size_t cluster_ = 0;
  std::optional<FatImageFile> card_;
  std::vector<std::uint8_t> fragments_[2];
};

// Both fragments come back byte for byte, with their time to the second,
// and are partly overwritten; every deleted file restores as icat recovers it.
TEST_P(FragmentedCard, FragmentsComeBackAsTheSleuthKitRecoversThem) {
  auto engine = test::EngineFixture::OfImage(card_->Path());
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir_ / "restored";
  RestoreFolder(engine.State, restore, engine.Host);

  std::map<std::string, std::uint64_t> inodes;
  for (const auto &t : test::Fls(card_->Path(), /*deletedOnly=*/true))
    inodes[t.Path] = t.Inode;
  std::map<std::string, std::string> conditions;
  for (const auto &key : engine.State.Catalogue.Keys("E:\\")) {
    const auto row = FoundFileRow::Parse(engine.State.Catalogue.Value("E:\\", key));
    ASSERT_TRUE(row && row->Condition) << key;
    conditions[key] = ConditionName(*row->Condition);
    const auto restored = ReadFileBytes(restore.DestFolder / key);
    ASSERT_TRUE(inodes.count(key)) << key;
    EXPECT_TRUE(restored == test::Icat(card_->Path(), inodes[key])) << key;
    struct stat st {};
    ASSERT_EQ(::stat((restore.DestFolder / key).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kWritten) << key;
  }
  EXPECT_TRUE(ReadFileBytes(restore.DestFolder / "Fragment one.bin") == fragments_[0]);
  EXPECT_TRUE(ReadFileBytes(restore.DestFolder / "Fragment two.bin") == fragments_[1]);
  EXPECT_EQ(conditions["Fragment one.bin"], "partly");
  EXPECT_EQ(conditions["Fragment two.bin"], "partly");
  EXPECT_EQ(conditions["Layer 5.bin"], "intact");
}

// restore --condition takes only the files in the conditions listed, and
// says how many it left out.
TEST_P(FragmentedCard, RestoreCommandTakesTheConditionsAsked) {
  const auto all = test::RunCli({"restore", "--to", (dir_ / "all").string(), card_->Path().string()});
  ASSERT_EQ(all.ExitCode, 0) << all.Err;
  const auto intact = test::RunCli(
      {"restore", "--condition", "intact", "--to", (dir_ / "intact").string(), card_->Path().string()});
  EXPECT_EQ(intact.ExitCode, 0) << intact.Err;
  EXPECT_NE(intact.Err.find("Files left out by --condition: 2\n"), std::string::npos) << intact.Err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "intact" / "Fragment one.bin"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "intact" / "Layer 5.bin"));
  const auto both = test::RunCli({"restore", "--condition=intact,partly", "--to", (dir_ / "both").string(),
                                  card_->Path().string()});
  EXPECT_EQ(both.Out, all.Out);
  EXPECT_EQ(test::RunCli({"restore", "--condition", "intact,", "--to", (dir_ / "x").string(),
                          card_->Path().string()})
                .ExitCode,
            2);
}

INSTANTIATE_TEST_SUITE_P(Fat, FragmentedCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

// On random cards every deleted file in a live folder whose first cluster is
// free restores as icat recovers it; the figures go to the output.
void RestoreRandomCards(int fatBits) {
  std::map<std::string, int> conditions;
  int compared = 0, identical = 0, fragmented = 0, fragmentedIdentical = 0;
  for (std::uint32_t seed = test::RandomCardFirstSeed();
       seed < test::RandomCardFirstSeed() + test::RandomCardCount(); ++seed) {
    TempDir dir;
    FatImageFile card(dir / "card.img", test::RandomCardGeometry(fatBits));
    test::RandomCardMaker maker(card, seed * 2 + std::uint32_t(fatBits) + 7);
    maker.Make();
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto engine = test::EngineFixture::OfImage(card.Path());
    ASSERT_NE(engine.Find().Outcome, FindOutcome::Result::Refused);
    RestoreState restore;
    restore.CurrentSection = "E:\\";
    restore.DestFolder = dir / "restored";
    RestoreFolder(engine.State, restore, engine.Host);

    auto listed = test::Fls(card.Path(), /*deletedOnly=*/true);
    engine.State.Catalogue.ForEach([&](const TFoundCatalogue::Entry &e) {
      const auto row = FoundFileRow::Parse(e.Value);
      ASSERT_TRUE(row && row->Condition);
      ++conditions[std::string(ConditionName(*row->Condition))];
      if (*row->Condition == FileCondition::Overwritten)
        return; // icat does not recover a file whose first cluster is taken
      const test::FoundRow found{e.Section, e.Key, e.Value};
      const auto t = std::find_if(listed.begin(), listed.end(),
                                  [&](const test::TskEntry &l) { return !l.Directory && test::SameFile(l, found); });
      if (t == listed.end())
        return; // not a file fls lists: bytes of a reused folder cluster
      const bool same =
          ReadFileBytes(SectionFolder(restore.DestFolder, e.Section) / SafeName(e.Key)) ==
          test::Icat(card.Path(), t->Inode);
      EXPECT_TRUE(same) << e.Section << e.Key << "=" << e.Value;
      listed.erase(t);
      ++compared, identical += same;
      if (*row->Condition == FileCondition::Partly)
        ++fragmented, fragmentedIdentical += same;
    });
  }
  EXPECT_GT(compared, 0);
  std::printf("FAT%d random cards: %d of %d deleted files as icat recovers them, %d of %d passing "
              "over live clusters; intact %d, partly %d, overwritten %d, empty %d\n",
              fatBits, identical, compared, fragmentedIdentical, fragmented, conditions["intact"],
              conditions["partly"], conditions["overwritten"], conditions["empty"]);
}

TEST(RandomCards, DeletedFilesRestoreAsTheSleuthKitRecoversThemOnFat16) { RestoreRandomCards(16); }
TEST(RandomCards, DeletedFilesRestoreAsTheSleuthKitRecoversThemOnFat32) { RestoreRandomCards(32); }

} // namespace
} // namespace orvanta
